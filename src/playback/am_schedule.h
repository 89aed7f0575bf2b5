#pragma once
// The advise schedule of a reference clock: the advises that wait for a clock
// time, ordered by that time. The clock's advise thread sleeps on the
// schedule's wake-up event, which is signalled whenever the earliest advise
// changes, and calls Advise() with the clock's time to fire what is due.
// Every member may be called from any thread.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <mutex>

#include "TarnPlayer.h"
#include "platform/named_event.h"

namespace tarn {

class CAMSchedule {
 public:
  // What GetNextAdviseTime() and Advise() answer when nothing is pending.
  static constexpr int64_t kNoAdvise = std::numeric_limits<int64_t>::max();

  CAMSchedule() = default;
  CAMSchedule(const CAMSchedule&) = delete;
  CAMSchedule& operator=(const CAMSchedule&) = delete;

  // Queues `event` for clock time `time` and returns the advise's cookie
  // (never 0). Advises with equal times fire in the order they were added.
  // Signals the wake-up event when the new advise is now the earliest.
  uintptr_t AddAdvisePacket(int64_t time, tarnplayer::IAdviseEvent* event);

  // Removes a pending advise; false when it has fired already or is unknown.
  // Once it returns, the advise's event is not signalled any more.
  bool Unadvise(uintptr_t cookie);

  size_t GetAdviseCount() const;

  // Time of the earliest pending advise, kNoAdvise when there is none.
  int64_t GetNextAdviseTime() const;

  // Wakes the advise thread so it re-reads the clock and the schedule.
  platform::AutoResetEvent& GetEvent() { return m_wakeUp; }

  // Signals, in time order, and removes every advise whose time is at or
  // before `now`. Returns the time of the earliest advise left (kNoAdvise
  // when none). Events are signalled under the schedule's lock, so an
  // IAdviseEvent::Set must only signal and never call back into the clock.
  int64_t Advise(int64_t now);

 private:
  struct Packet {
    uintptr_t cookie;
    tarnplayer::IAdviseEvent* event;
  };

  mutable std::mutex m_lock;
  std::multimap<int64_t, Packet> m_pending;
  uintptr_t m_nextCookie = 1;
  platform::AutoResetEvent m_wakeUp;
};

}  // namespace tarn
