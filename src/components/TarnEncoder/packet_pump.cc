#include "packet_pump.h"

#include "TarnEncoder.h"
#include "ffmpeg_handles.h"

namespace tarn::encoder {

int AddCopiedStream(MuxOutput& mux, const AVStream* input) {
  AVStream* output = mux.AddStream();
  if (!output || avcodec_parameters_copy(output->codecpar, input->codecpar) < 0) return -1;
  output->codecpar->codec_tag = 0;  // let the muxer pick its own tag for the codec
  output->time_base = input->time_base;
  output->avg_frame_rate = input->avg_frame_rate.num > 0 ? input->avg_frame_rate : input->r_frame_rate;
  output->r_frame_rate = input->r_frame_rate;
  output->sample_aspect_ratio = input->codecpar->sample_aspect_ratio;
  return output->index;
}

int PumpPackets(AVFormatContext* input, MuxOutput& mux, const PacketRoutes& routes, int transcodedRate,
                ProgressReporter& progress) {
  bool writeFailed = false;
  const PacketSink sink = [&](AVPacket* packet) {
    if (!mux.Write(packet, AVRational{1, transcodedRate}, routes.transcodeTo)) writeFailed = true;
    return !writeFailed;
  };
  auto codecOrOutput = [&] { return writeFailed ? TARNENC_ERROR_OUTPUT : TARNENC_ERROR_CODEC; };

  if (!progress.Start()) return TARNENC_ERROR_CANCELLED;
  PacketHandle packet = NewPacket();
  if (!packet) return TARNENC_ERROR_CODEC;
  // A read error ends the input like its end does: what could be read is kept.
  while (av_read_frame(input, packet.get()) >= 0) {
    const int index = packet->stream_index;
    const AVStream* stream = input->streams[index];
    const int64_t when = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (!progress.At(StreamSeconds(input, stream, when))) return TARNENC_ERROR_CANCELLED;
    const int copyTo = index < static_cast<int>(routes.copyTo.size()) ? routes.copyTo[index] : -1;
    if (copyTo >= 0) {
      if (!mux.Write(packet.get(), stream->time_base, copyTo)) return TARNENC_ERROR_OUTPUT;
    } else if (index == routes.transcodeFrom && routes.transcoder) {
      if (!routes.transcoder->Push(packet.get(), sink)) return codecOrOutput();
    }
    av_packet_unref(packet.get());
  }
  if (routes.transcoder && !routes.transcoder->Finish(sink)) return codecOrOutput();
  if (!mux.End()) return TARNENC_ERROR_OUTPUT;
  if (!progress.Finish()) return TARNENC_ERROR_CANCELLED;
  return TARNENC_OK;
}

}  // namespace tarn::encoder
