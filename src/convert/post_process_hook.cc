// Runs the format's post step after a good encode: the context's stand-in
// when a test gives one, else the post-processing of the output wrappers.
// False when a step failed, so the job is not reported as completed.
#include "app/log.h"
#include "convert/conversion_steps.h"

#include "convert/post_process.h"

namespace tarn {

bool RunPostProcess(const ConversionJobContext& context, const JobProfile& profile) {
  if (context.hooks.postProcess) return context.hooks.postProcess(profile.format, profile.audioCodec, context.window);
  // A cancelled remux still finishes the job as usual; only a step that
  // failed leaves no output to report.
  return PostProcessOutput(profile.format, profile.audioCodec, context.window) != PostProcessResult::kFailed;
}

}  // namespace tarn
