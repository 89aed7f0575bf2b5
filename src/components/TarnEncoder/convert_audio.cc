// Audio-only outputs: the encoder wrote MP3, which is decoded and encoded
// again in the profile's format.
#include <memory>

#include "audio_transcoder.h"
#include "operations.h"
#include "packet_pump.h"
#include "partial_output.h"

namespace tarn::encoder {
namespace {

struct AudioFormat {
  const char* format;
  const char* muxer;
  AVCodecID codec;
};

constexpr AudioFormat kAudioFormats[] = {
    {"au", "au", AV_CODEC_ID_PCM_S16BE},
    {"amr", "amr", AV_CODEC_ID_AMR_NB},
    {"wav", "wav", AV_CODEC_ID_PCM_S16LE},
    {"m4a", "ipod", AV_CODEC_ID_AAC},
};

const AudioFormat* FindFormat(const std::string& format) {
  for (const AudioFormat& f : kAudioFormats)
    if (format == f.format) return &f;
  return nullptr;
}

}  // namespace

int ConvertAudio(const std::string& input, const std::string& output, const std::string& format,
                 int sampleRate, int channels, double audioKilobits, ProgressTarget target) {
  const AudioFormat* chosen = FindFormat(format);
  if (!chosen) return TARNENC_ERROR_ARGUMENT;
  const bool amr = chosen->codec == AV_CODEC_ID_AMR_NB;
  if (!amr && (sampleRate <= 0 || channels <= 0)) return TARNENC_ERROR_ARGUMENT;
  if (chosen->codec == AV_CODEC_ID_AAC && audioKilobits <= 0.0) return TARNENC_ERROR_ARGUMENT;

  InputHandle in = OpenInput(input);
  if (!in) return TARNENC_ERROR_INPUT;
  const int audio = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (audio < 0) return TARNENC_ERROR_INPUT;

  PartialOutput part(output);
  if (!part.Create()) return TARNENC_ERROR_OUTPUT;
  MuxOutput mux;
  if (!mux.Open(part.path(), chosen->muxer)) return TARNENC_ERROR_OUTPUT;

  std::unique_ptr<AudioEncoder> encoder;
  if (amr)
    encoder = MakeAmrNbEncoder(audioKilobits > 0.0 ? audioKilobits : 12.2);
  else
    encoder = MakeFfmpegAudioEncoder(chosen->codec, sampleRate, channels,
                                     static_cast<int64_t>(audioKilobits * 1000.0), mux.WantsGlobalHeader());
  if (!encoder) return TARNENC_ERROR_CODEC;
  AudioTranscoder transcoder(*encoder);
  if (!transcoder.Open(in->streams[audio])) return TARNENC_ERROR_INPUT;
  AVStream* out = mux.AddStream();
  if (!out || !encoder->DescribeStream(out)) return TARNENC_ERROR_OUTPUT;
  if (!mux.Begin()) return TARNENC_ERROR_OUTPUT;

  PacketRoutes routes;
  routes.copyTo.assign(in->nb_streams, -1);
  routes.transcodeFrom = audio;
  routes.transcoder = &transcoder;
  routes.transcodeTo = out->index;
  ProgressReporter progress(target.callback, target.window, InputDurationSeconds(in.get()), in->pb);
  const int result = PumpPackets(in.get(), mux, routes, encoder->SampleRate(), progress);
  if (result != TARNENC_OK) return result;
  return part.Commit() ? TARNENC_OK : TARNENC_ERROR_OUTPUT;
}

}  // namespace tarn::encoder
