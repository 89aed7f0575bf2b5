// The exported C entry points of libTarnEncoder.so: argument checks, then the
// step in operations.h. No C++ exception crosses into the host.
#include <new>
#include <string>

#include "TarnEncoder.h"
#include "operations.h"
#include "value_text.h"

namespace {

using tarn::encoder::ProgressTarget;

bool Given(const char* text) { return text && *text; }

template <typename Step>
int Guarded(Step step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    return TARNENC_ERROR_CODEC;
  } catch (...) {
    return TARNENC_ERROR_CODEC;
  }
}

}  // namespace

extern "C" {

TARNENCODER_API int Recreate3gp(const char* input, const char* output, const char* profileExt,
                                const char* videoCodec, const char* videoBitrate, const char* audioCodec,
                                const char* audioBitrate, TarnEncoderProgressFn progress, void* window) {
  if (!Given(input) || !Given(output) || !Given(profileExt)) return TARNENC_ERROR_ARGUMENT;
  if (!audioCodec || std::string(audioCodec) != "amr_nb") return TARNENC_ERROR_ARGUMENT;
  const double kilobits = tarn::encoder::ParseKilobits(audioBitrate);
  if (kilobits <= 0.0) return TARNENC_ERROR_ARGUMENT;
  return Guarded([&] {
    return tarn::encoder::RecreateThreeGp(input, output, profileExt, kilobits, ProgressTarget{progress, window});
  });
}

TARNENCODER_API int RemuxSWFFile(const char* input, const char* output, const char* videoBitrate,
                                 const char* audioBitrate, TarnEncoderProgressFn progress, void* window) {
  if (!Given(input) || !Given(output)) return TARNENC_ERROR_ARGUMENT;
  return Guarded([&] { return tarn::encoder::RemuxSwf(input, output, ProgressTarget{progress, window}); });
}

TARNENCODER_API int ConvertAudioFile(const char* input, const char* output, const char* profileFormat,
                                     const char* audioCodec, const char* audioBitrate, const char* sampleRate,
                                     const char* channels, TarnEncoderProgressFn progress, void* window) {
  if (!Given(input) || !Given(output) || !Given(profileFormat)) return TARNENC_ERROR_ARGUMENT;
  const std::string format = profileFormat;
  const bool amr = format == "amr";
  const int rate = amr ? 8000 : tarn::encoder::ParsePositiveInt(sampleRate);
  const int count = amr ? 1 : tarn::encoder::ParseChannels(channels);
  if (rate <= 0 || count <= 0) return TARNENC_ERROR_ARGUMENT;
  const double kilobits = tarn::encoder::ParseKilobits(audioBitrate);
  return Guarded([&] {
    return tarn::encoder::ConvertAudio(input, output, format, rate, count, kilobits,
                                       ProgressTarget{progress, window});
  });
}

TARNENCODER_API int CaptureTHM(const char* video, const char* thumbnail) {
  if (!Given(video) || !Given(thumbnail)) return TARNENC_ERROR_ARGUMENT;
  return Guarded([&] { return tarn::encoder::CaptureThumbnail(video, thumbnail); });
}

}  // extern "C"
