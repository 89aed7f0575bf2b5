#pragma once
// The virtual clock as the rest of the program reaches it: through the
// current core and its clock (playback/current_core.h).
#include <cstdint>

namespace tarn {

// The clock's SetMode; 0 when there is no current core or no current clock.
int SetClockMode(int mode);
// The clock's mode; 0 when there is no current core or no current clock.
int GetClockMode();
// Reports a captured frame to the current clock; nothing without one.
void AdjustClockToSample(int64_t streamTime, int64_t frameStart);
// Lets the current clock jump to its next advise; nothing without one.
void JumpClockToNextAdvise();

}  // namespace tarn
