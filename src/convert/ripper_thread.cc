#include <cstdio>

#include "app/log.h"
#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/conversion_steps.h"
#include "convert/output_naming.h"
#include "convert/rip_job.h"
#include "platform/message_queue.h"
#include "profiles/profile_catalogue.h"

namespace tarn {

RipJob* FindCheckedJob(const std::vector<RipJob*>& rows, int32_t targetTitle) {
  for (RipJob* job : rows)
    if (job && job->checked != 0 && job->titleIndex + 1 == targetTitle) return job;
  return nullptr;
}

namespace {

// The end of every ripper run (step 17).
void EndRipper() {
  ConversionState& state = Conversion();
  state.remuxRunning = 0;
  state.recording = 0;
}

// A job that cannot even start (no row, no profile) ends as Failed and the
// batch goes on, as after an encode that wrote nothing.
void FailWithoutEncode(const ConversionJobContext& context, const char* reason) {
  Log(kLogError, "%s\n", reason);
  Conversion().encodeDone = 1;
  PostToWindow(context.window, UM_JOB_RESULT, 1);
  PostToWindow(context.window, UM_NEXT_TITLE, 0);
  EndRipper();
}

}  // namespace

void RipperThreadMain(const ConversionJobContext& context) {
  ConversionState& state = Conversion();
  state.encodeDone = 0;
  state.recording = 1;
  state.remuxRunning = 0;

  RipJob* job = context.findJob ? context.findJob(state.startTitle.load()) : nullptr;
  const AVOutputProfile* current = Catalogue().CurrentProfile();
  if (!job) return FailWithoutEncode(context, "No checked job for the title being converted");
  if (!current) return FailWithoutEncode(context, "No output profile is selected");
  // The windows refuse profile changes while a job runs.
  const AVOutputProfile& profile = *current;
  const JobProfile jobProfile{profile.format, profile.audioCodec.value, profile.listIndex};

  // The destination once more through the unique-name rule; the row belongs
  // to the window's thread, so it is written there.
  const std::string outputPath = MakeUniquePath(job->destination);
  auto writeBack = [&] {
    job->destination = outputPath;
    Settings().outputPath = outputPath;
  };
  if (context.window) context.window->SendCall(writeBack);
  else writeBack();

  SendProgressOpen(context.window, "Converting", outputPath);

  CoreCropAccess& crop = context.hooks.crop ? *context.hooks.crop : CurrentCoreCrop();
  if (job->cropOn != 0)
    crop.SetCrop({job->cropLeft, job->cropTop, job->cropRight - job->cropLeft, job->cropBottom - job->cropTop});
  const CoreCropReading cropReading = ReadCoreCrop(crop);

  const EncodeOutcome outcome = EncodeJob(context, profile, outputPath, cropReading);
  if (state.userStopped.load() != 0 && outcome.encoderRan) std::remove(outcome.encoderOutput.c_str());

  SendToWindow(context.window, UM_PROGRESS_CLOSE, 0);
  state.encodeDone = 1;

  WaitForPlayerToClose();
  Log(kLogInfo, "Output file is %lld\n", static_cast<long long>(outcome.sizeBytes));

  if (state.userStopped.load() != 0) {
    SendToWindow(context.window, UM_JOB_RESULT, 1);
    PostToWindow(context.window, UM_BATCH_DONE, 0);
    Log(kLogInfo, "user stopped ripper process, so send complete message\n");
    return EndRipper();
  }
  if (!OutputLooksGood(outcome.sizeBytes)) {
    PostToWindow(context.window, UM_JOB_RESULT, 1);
    PostToWindow(context.window, UM_NEXT_TITLE, 0);
    Log(kLogInfo,
        "Output file is too small so guess this ripper is failed for unknow reason, and ripper next\n");
    return EndRipper();
  }

  SendProgressOpen(context.window, "Remuxing", outputPath);
  state.remuxRunning = 1;
  const bool postProcessed = RunPostProcess(context, jobProfile);

  SendToWindow(context.window, UM_PROGRESS_CLOSE, 0);
  if (!postProcessed) {
    // The output never reached its final form: a failed job, not a completed one.
    Log(kLogError, "Post-processing of %s failed\n", outputPath.c_str());
  }
  PostToWindow(context.window, UM_JOB_RESULT, postProcessed ? 0 : 1);
  PostToWindow(context.window, UM_NEXT_TITLE, 0);
  Log(kLogInfo, "Send ripper next title message\n");
  EndRipper();
}

std::thread StartRipperThread(ConversionJobContext context) {
  return std::thread([context = std::move(context)] { RipperThreadMain(context); });
}

}  // namespace tarn
