// 3GP/3G2 with AMR-NB audio: the encoder wrote the video as the profile
// wants it but cannot write AMR-NB, so the video is copied packet for packet
// and only the audio is encoded again.
#include <memory>

#include "audio_transcoder.h"
#include "operations.h"
#include "packet_pump.h"
#include "partial_output.h"

namespace tarn::encoder {

int RecreateThreeGp(const std::string& input, const std::string& output, const std::string& container,
                    double audioKilobits, ProgressTarget target) {
  if (container != "3gp" && container != "3g2") return TARNENC_ERROR_ARGUMENT;
  if (audioKilobits <= 0.0) return TARNENC_ERROR_ARGUMENT;
  InputHandle in = OpenInput(input);
  if (!in) return TARNENC_ERROR_INPUT;
  const int video = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const int audio = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (video < 0 && audio < 0) return TARNENC_ERROR_INPUT;

  PartialOutput part(output);
  if (!part.Create()) return TARNENC_ERROR_OUTPUT;
  MuxOutput mux;
  if (!mux.Open(part.path(), container.c_str())) return TARNENC_ERROR_OUTPUT;

  PacketRoutes routes;
  routes.copyTo.assign(in->nb_streams, -1);
  if (video >= 0 && (routes.copyTo[video] = AddCopiedStream(mux, in->streams[video])) < 0)
    return TARNENC_ERROR_OUTPUT;

  std::unique_ptr<AudioEncoder> encoder;
  std::unique_ptr<AudioTranscoder> transcoder;
  if (audio >= 0) {
    encoder = MakeAmrNbEncoder(audioKilobits);
    if (!encoder) return TARNENC_ERROR_CODEC;
    transcoder = std::make_unique<AudioTranscoder>(*encoder);
    if (!transcoder->Open(in->streams[audio])) return TARNENC_ERROR_INPUT;
    AVStream* out = mux.AddStream();
    if (!out || !encoder->DescribeStream(out)) return TARNENC_ERROR_OUTPUT;
    routes.transcodeFrom = audio;
    routes.transcoder = transcoder.get();
    routes.transcodeTo = out->index;
  }
  if (!mux.Begin()) return TARNENC_ERROR_OUTPUT;

  ProgressReporter progress(target.callback, target.window, InputDurationSeconds(in.get()), in->pb);
  const int result = PumpPackets(in.get(), mux, routes, encoder ? encoder->SampleRate() : 1, progress);
  if (result != TARNENC_OK) return result;
  return part.Commit() ? TARNENC_OK : TARNENC_ERROR_OUTPUT;
}

}  // namespace tarn::encoder
