#pragma once
// The stop procedure a window runs on the user's stop or on UM_STOP_CONVERT:
// ask the conversion to finish, wait until the encoder has returned, put
// the clock back to real time and close the player.
#include <functional>

namespace tarn {

enum class StopCaller { kTitleRipper, kPlayerRecorder };

// Nothing when no recording runs. `closePlayer` closes the window's player.
void RunStopProcedure(StopCaller caller, const std::function<void()>& closePlayer);

}  // namespace tarn
