// Runs the format's post step after a good encode: the context's stand-in
// when a test gives one, else the post-processing of the output wrappers.
#include "app/log.h"
#include "convert/conversion_steps.h"

#if __has_include("convert/post_process.h")
#include "convert/post_process.h"
#define TARN_HAVE_POST_PROCESS 1
#endif

namespace tarn {

void RunPostProcess(const ConversionJobContext& context, const JobProfile& profile) {
  if (context.hooks.postProcess) {
    context.hooks.postProcess(profile.format, profile.audioCodec, context.window);
    return;
  }
#ifdef TARN_HAVE_POST_PROCESS
  PostProcess(profile.format, profile.audioCodec, context.window);
#else
  Log(kLogError, "Post-processing is not built in; %s output left as the encoder wrote it\n",
      profile.format.c_str());
#endif
}

}  // namespace tarn
