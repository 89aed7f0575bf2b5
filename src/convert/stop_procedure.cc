#include "convert/stop_procedure.h"

#include "app/log.h"
#include "convert/rip_job.h"
#include "playback/clock_mode.h"
#include "platform/message_queue.h"

namespace tarn {

void RunStopProcedure(StopCaller caller, const std::function<void()>& closePlayer) {
  ConversionState& state = Conversion();
  if (state.recording.load() == 0) return;
  const bool ripper = caller == StopCaller::kTitleRipper;
  state.stopRequest = 1;
  if (ripper) Log(kLogInfo, "Src list window try to stop convert\n");
  while (state.encodeDone.load() == 0) platform::PumpingSleep(50);
  if (ripper) Log(kLogInfo, "DVD player window stop convert\n");
  SetClockMode(0);
  state.recording = 0;
  if (closePlayer) closePlayer();
}

}  // namespace tarn
