#include "playback/virtual_clock.h"

#include <utility>

#include "platform/clock.h"
#include "playback/current_core.h"

namespace tarn {

namespace {
constexpr int64_t kUnitsPerMs = 10000;
constexpr double kFastRate = 8.0;
constexpr int64_t kCreepFineFrom = 5000;  // creep counter at which steps become fine
constexpr int64_t kCreepCoarse = 1000;
constexpr int64_t kCreepFine = 100;
constexpr int64_t kCatchUpExtra = 250000;
constexpr int64_t kCatchUpExtraFrom = 50000;
constexpr int64_t kWakeStepAbove = 5000;
constexpr int64_t kJumpRange = 10000000;  // one second
constexpr int64_t kJumpPast = 50000;      // 5 ms

// How far the clock moves towards a frame that is `lag` ahead of it. A lag
// above 1,000,000 also marks the clock as behind.
int64_t StepForLag(int64_t lag, bool* behind) {
  *behind = lag > 1000000;
  if (lag > 900000) return 700000;
  if (lag > 800000) return 600000;
  if (lag > 700000) return 500000;
  if (lag > 600000) return 400000;
  if (lag > 500000) return 300000;
  if (lag > 400000) return 200000;
  if (lag > 300000) return 100000;
  if (lag > 200000) return 50000;
  return 0;
}

// a - b without signed overflow on absurd inputs.
int64_t Difference(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
}  // namespace

CVirtualClock::CVirtualClock() : CVirtualClock(platform::TickCount) {}

CVirtualClock::CVirtualClock(TickSource ticks, CAMSchedule* schedule)
    : CBaseReferenceClock(schedule), m_ticks(std::move(ticks)) {
  m_lastTick = m_ticks();
  m_virtualTime = static_cast<int64_t>(m_lastTick) * kUnitsPerMs;
}

CVirtualClock::~CVirtualClock() {
  StopAdviseThread();
  // A clock released by the graph must not stay reachable.
  if (CurrentClock() == this) SetCurrentClock(nullptr);
}

int64_t CVirtualClock::GetPrivateTime() {
  std::lock_guard<std::mutex> lock(m_lock);
  const int mode = m_mode.load(std::memory_order_relaxed);
  if (mode == kModeNormal || (mode == kModeRecord && (m_modeChanged == 1 || m_behind == 1))) {
    const uint32_t now = m_ticks();
    m_virtualTime += static_cast<int64_t>(static_cast<int32_t>(now - m_lastTick)) * kUnitsPerMs;
    m_lastTick = now;
  } else if (mode == kModeFast) {
    const uint32_t now = m_ticks();
    const double elapsed = static_cast<double>(static_cast<int32_t>(now - m_lastTick));
    m_virtualTime = static_cast<int64_t>(elapsed * kUnitsPerMs * kFastRate +
                                         static_cast<double>(m_virtualTime));
    m_lastTick = now;
  } else if (mode == kModeRecord) {
    const int64_t step = m_stepCounter < kCreepFineFrom ? kCreepCoarse : kCreepFine;
    m_virtualTime += step;
    m_stepCounter += step;
  }
  return m_virtualTime;
}

int CVirtualClock::SetMode(int mode) {
  if (!CurrentCore()) return 0;
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_mode.load(std::memory_order_relaxed) != kModeRecord && mode == kModeRecord) m_modeChanged = 1;
  m_mode.store(mode, std::memory_order_relaxed);
  return 1;
}

int CVirtualClock::GetMode() {
  if (!CurrentCore()) return 0;
  return m_mode.load(std::memory_order_relaxed);
}

void CVirtualClock::AdjustToSample(int64_t streamTime, int64_t frameStart) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_mode.load(std::memory_order_relaxed) != kModeRecord) return;
  m_lastTick = m_ticks();
  m_behind = 0;
  const int64_t due = static_cast<int64_t>(static_cast<uint64_t>(streamTime) + static_cast<uint64_t>(frameStart));
  const int64_t lag = Difference(due, m_virtualTime);
  bool behind = false;
  const int64_t step = StepForLag(lag, &behind);
  if (behind) m_behind = 1;
  m_virtualTime += step;
  if (step >= kCatchUpExtraFrom) m_virtualTime += kCatchUpExtra;
  if (step > kWakeStepAbove && GetSchedule()->GetAdviseCount() > 0) GetSchedule()->GetEvent().Set();
  m_modeChanged = 0;
  m_stepCounter = 0;
}

void CVirtualClock::JumpToNextAdvise() {
  std::lock_guard<std::mutex> lock(m_lock);
  CAMSchedule* schedule = GetSchedule();
  if (schedule->GetAdviseCount() == 0) return;
  const int64_t next = schedule->GetNextAdviseTime();
  if (next == 0 || next == CAMSchedule::kNoAdvise || next <= m_virtualTime) return;
  if (Difference(next, m_virtualTime) > kJumpRange) return;
  m_virtualTime = next + kJumpPast;
  schedule->GetEvent().Set();
}

}  // namespace tarn
