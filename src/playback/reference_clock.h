#pragma once
// The base of the program's reference clocks: reference counting, GetTime
// through the derived clock's GetPrivateTime, and advises kept in a
// CAMSchedule that an advise thread fires when the clock reaches them.
//
// A clock starts with no references. Whoever keeps it calls AddRef (the
// graph does when the clock becomes its sync source); the last Release
// deletes it. A clock nobody has referenced is deleted by its creator.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "TarnPlayer.h"
#include "playback/am_schedule.h"

namespace tarn {

class CBaseReferenceClock : public tarnplayer::IReferenceClock {
 public:
  // With no schedule the clock creates its own and an advise thread that
  // fires it. With an outside schedule (not owned) it runs no thread: the
  // schedule's owner calls its Advise().
  explicit CBaseReferenceClock(CAMSchedule* schedule = nullptr);
  ~CBaseReferenceClock() override;
  CBaseReferenceClock(const CBaseReferenceClock&) = delete;
  CBaseReferenceClock& operator=(const CBaseReferenceClock&) = delete;

  unsigned long AddRef() override;
  unsigned long Release() override;

  tarnplayer::HRESULT GetTime(int64_t* time) override;
  // Advises for baseTime + streamTime; a time the clock has reached already
  // is signalled before the call returns (its cookie is then not pending).
  tarnplayer::HRESULT AdviseTime(int64_t baseTime, int64_t streamTime,
                                 tarnplayer::IAdviseEvent* event, uintptr_t* cookie) override;
  tarnplayer::HRESULT Unadvise(uintptr_t cookie) override;

  // The derived clock's current time in 100 ns units.
  virtual int64_t GetPrivateTime() = 0;

  CAMSchedule* GetSchedule() const { return m_schedule; }

 protected:
  // Ends the advise thread. The thread reads the time through
  // GetPrivateTime, so a derived clock calls this first in its destructor,
  // while its own state still exists. Calling it again does nothing.
  void StopAdviseThread();

 private:
  void StartAdviseThread();
  void AdviseThread();

  std::atomic<unsigned long> m_refCount{0};
  std::unique_ptr<CAMSchedule> m_ownSchedule;
  CAMSchedule* m_schedule;
  std::mutex m_threadLock;  // guards starting and stopping the thread
  std::thread m_adviseThread;
  std::atomic<bool> m_stopping{false};
};

}  // namespace tarn
