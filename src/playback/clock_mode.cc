#include "playback/clock_mode.h"

#include "playback/current_core.h"
#include "playback/virtual_clock.h"

namespace tarn {

int SetClockMode(int mode) {
  CVirtualClock* clock = CurrentClock();
  if (!CurrentCore() || !clock) return 0;
  return clock->SetMode(mode);
}

int GetClockMode() {
  CVirtualClock* clock = CurrentClock();
  if (!CurrentCore() || !clock) return 0;
  return clock->GetMode();
}

void AdjustClockToSample(int64_t streamTime, int64_t frameStart) {
  if (CVirtualClock* clock = CurrentClock()) clock->AdjustToSample(streamTime, frameStart);
}

void JumpClockToNextAdvise() {
  if (CVirtualClock* clock = CurrentClock()) clock->JumpToNextAdvise();
}

}  // namespace tarn
