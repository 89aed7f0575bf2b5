// Waits for a reference-clock time through the clock's advise schedule.
// While it waits an advise is always pending, so a clock that jumps to its
// next advise (the record mode) releases the waiter at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "TarnPlayer.h"

namespace tarnplayer {

class ClockWaiter : public IAdviseEvent {
 public:
  void Set() override;
  // Returns true once `clock` reached `due`; false as soon as `abandon`
  // answers true (checked whenever the waiter wakes, at least every 20 ms).
  bool WaitUntil(IReferenceClock* clock, int64_t due, const std::function<bool()>& abandon);
  // Wakes a wait so it re-checks the clock and its abandon test.
  void Interrupt() { Set(); }

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;
};

}  // namespace tarnplayer
