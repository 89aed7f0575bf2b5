#include "app/log.h"
#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/conversion_steps.h"
#include "convert/output_naming.h"
#include "convert/rip_job.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace tarn {

namespace {

// The end of a recording: the window's stop procedure clears the recording
// flag.
void EndRecorder(const ConversionJobContext& context) {
  SendToWindow(context.window, UM_PROGRESS_CLOSE, 0);
  Conversion().remuxRunning = 0;
  PostToWindow(context.window, UM_BATCH_DONE, 0);
  Log(kLogInfo, "Send complete message\n");
}

}  // namespace

void RecorderThreadMain(const ConversionJobContext& context) {
  ConversionState& state = Conversion();
  state.encodeDone = 0;
  state.remuxRunning = 0;

  const AVOutputProfile* current = Catalogue().CurrentProfile();
  if (!current) {
    Log(kLogError, "No output profile is selected\n");
    state.encodeDone = 1;
    PostToWindow(context.window, UM_JOB_RESULT, 1);
    PostToWindow(context.window, UM_NEXT_TITLE, 0);
    return EndRecorder(context);
  }
  const AVOutputProfile& profile = *current;  // the window refuses profile changes while recording
  const JobProfile jobProfile{profile.format, profile.audioCodec.value, profile.listIndex};

  // The window made outputPath unique when it composed it; a file that has
  // appeared under that name since must not be overwritten.
  std::string outputPath = Settings().outputPath;
  if (platform::FileExists(outputPath)) {
    const std::string unique = MakeUniquePath(outputPath);
    Log(kLogInfo, "%s exists already, recording to %s\n", outputPath.c_str(), unique.c_str());
    outputPath = unique;
    auto writeBack = [&] { Settings().outputPath = outputPath; };
    if (context.window) context.window->SendCall(writeBack);
    else writeBack();
  }

  SendProgressOpen(context.window, "Converting", outputPath);

  // The crop stays as the crop dialogs set it on the core.
  CoreCropAccess& crop = context.hooks.crop ? *context.hooks.crop : CurrentCoreCrop();
  const CoreCropReading cropReading = ReadCoreCrop(crop);

  const EncodeOutcome outcome = EncodeJob(context, profile, outputPath, cropReading);
  Log(kLogInfo, "Complete convert first step\n");
  state.encodeDone = 1;

  WaitForPlayerToClose();
  Log(kLogInfo, "Output file is %lld\n", static_cast<long long>(outcome.sizeBytes));

  if (!OutputLooksGood(outcome.sizeBytes)) {
    PostToWindow(context.window, UM_JOB_RESULT, 1);
    PostToWindow(context.window, UM_NEXT_TITLE, 0);
    Log(kLogInfo,
        "Output file is too small so guess this ripper is failed for unknow reason, and ripper next\n");
    return EndRecorder(context);
  }

  // A stopped recording keeps what was recorded and is post-processed too.
  SendProgressOpen(context.window, "Remuxing", outputPath);
  state.remuxRunning = 1;
  if (!RunPostProcess(context, jobProfile)) Log(kLogError, "Post-processing of %s failed\n", outputPath.c_str());
  EndRecorder(context);
}

std::thread StartRecorderThread(ConversionJobContext context) {
  return std::thread([context = std::move(context)] { RecorderThreadMain(context); });
}

}  // namespace tarn
