#pragma once
// The reference clock the playback graph is paced by. Mode 0 follows real
// time; mode 1 runs eight times faster (the title seek races through intros
// with it); mode 2, the record mode, is driven by the captured video: it
// creeps forward in tiny steps on its own, every captured frame pulls it
// towards that frame's due time (AdjustToSample) and the encoder's waits
// jump it to the next scheduled sample (JumpToNextAdvise).
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "playback/reference_clock.h"

namespace tarn {

class CVirtualClock : public CBaseReferenceClock {
 public:
  enum : int { kModeNormal = 0, kModeFast = 1, kModeRecord = 2 };

  // The millisecond counter the clock advances by (the platform's
  // TickCount unless a test hands in its own).
  using TickSource = std::function<uint32_t()>;

  CVirtualClock();
  // `schedule` as for CBaseReferenceClock: null gives the clock its own
  // schedule and advise thread.
  explicit CVirtualClock(TickSource ticks, CAMSchedule* schedule = nullptr);
  ~CVirtualClock() override;

  int64_t GetPrivateTime() override;

  // Sets the mode under the clock's lock (windows set modes 0 and 1 through
  // it too). Entering mode 2 makes the clock follow real time until the
  // first captured frame is reported. 1; 0 and nothing changes when there
  // is no current core.
  int SetMode(int mode);
  // The mode as one aligned read without the lock; 0 when there is no
  // current core.
  int GetMode();

  // Mode 2 only: pulls the clock towards the due time streamTime + frameStart
  // of a captured frame.
  void AdjustToSample(int64_t streamTime, int64_t frameStart);
  // Jumps to 5 ms past the next advise when that lies ahead of the clock by
  // at most one second, and wakes the advise thread to fire it.
  void JumpToNextAdvise();

 private:
  std::atomic<int> m_mode{kModeNormal};  // written under m_lock, read without it
  int64_t m_virtualTime = 0;             // 100 ns units
  uint32_t m_lastTick = 0;               // tick count at the last real-time advance
  std::mutex m_lock;
  int m_modeChanged = 0;                 // 1 from entering mode 2 until the first frame report
  int64_t m_stepCounter = 0;             // creep since the last frame report
  int m_behind = 0;                      // the last reported frame was > 0.1 s ahead
  TickSource m_ticks;
};

}  // namespace tarn
