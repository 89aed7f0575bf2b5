// Runs the format's post step after a good encode: the context's stand-in
// when a test gives one, else the post-processing of the output wrappers.
// False when a step failed, so the job is not reported as completed.
#include "app/log.h"
#include "convert/conversion_steps.h"

#if __has_include("convert/post_process.h")
#include "convert/post_process.h"
#define TARN_HAVE_POST_PROCESS 1
#endif

namespace tarn {

bool RunPostProcess(const ConversionJobContext& context, const JobProfile& profile) {
  if (context.hooks.postProcess) return context.hooks.postProcess(profile.format, profile.audioCodec, context.window);
#ifdef TARN_HAVE_POST_PROCESS
  // A cancelled remux still finishes the job as usual; only a step that
  // failed leaves no output to report.
  return PostProcessOutput(profile.format, profile.audioCodec, context.window) != PostProcessResult::kFailed;
#else
  Log(kLogError, "Post-processing is not built in; %s output left as the encoder wrote it\n",
      profile.format.c_str());
  return true;
#endif
}

}  // namespace tarn
