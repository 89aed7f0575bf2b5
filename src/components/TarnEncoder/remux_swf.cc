// SWF: the encoder's SWF file is written again by FFmpeg's SWF muxer with its
// FLV1 video and MP3 audio copied unchanged.
#include "operations.h"
#include "packet_pump.h"
#include "partial_output.h"

namespace tarn::encoder {

int RemuxSwf(const std::string& input, const std::string& output, ProgressTarget target) {
  InputHandle in = OpenInput(input);
  if (!in) return TARNENC_ERROR_INPUT;
  const int video = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const int audio = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (video < 0 && audio < 0) return TARNENC_ERROR_INPUT;

  PartialOutput part(output);
  if (!part.Create()) return TARNENC_ERROR_OUTPUT;
  MuxOutput mux;
  if (!mux.Open(part.path(), "swf")) return TARNENC_ERROR_OUTPUT;
  PacketRoutes routes;
  routes.copyTo.assign(in->nb_streams, -1);
  for (const int index : {video, audio})
    if (index >= 0 && (routes.copyTo[index] = AddCopiedStream(mux, in->streams[index])) < 0)
      return TARNENC_ERROR_OUTPUT;
  // The muxer refuses codecs an SWF file cannot hold.
  if (!mux.Begin()) return TARNENC_ERROR_INPUT;

  ProgressReporter progress(target.callback, target.window, InputDurationSeconds(in.get()), in->pb);
  const int result = PumpPackets(in.get(), mux, routes, 1, progress);
  if (result != TARNENC_OK) return result;
  return part.Commit() ? TARNENC_OK : TARNENC_ERROR_OUTPUT;
}

}  // namespace tarn::encoder
