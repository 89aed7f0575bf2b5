#include "ffmpeg_handles.h"

#include <algorithm>

namespace tarn::encoder {

FrameHandle NewFrame() { return FrameHandle(av_frame_alloc()); }
PacketHandle NewPacket() { return PacketHandle(av_packet_alloc()); }

InputHandle OpenInput(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return nullptr;
  InputHandle input(raw);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) return nullptr;
  return input;
}

double InputDurationSeconds(const AVFormatContext* input) {
  if (input->duration > 0) return static_cast<double>(input->duration) / AV_TIME_BASE;
  double longest = 0.0;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    if (stream->duration > 0) longest = std::max(longest, stream->duration * av_q2d(stream->time_base));
  }
  return longest;
}

CodecContextHandle OpenDecoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return nullptr;
  CodecContextHandle ctx(avcodec_alloc_context3(codec));
  if (!ctx || avcodec_parameters_to_context(ctx.get(), stream->codecpar) < 0) return nullptr;
  ctx->pkt_timebase = stream->time_base;
  ctx->thread_count = 1;  // post-processing runs beside the rest of the program
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return ctx;
}

double StreamSeconds(const AVFormatContext* input, const AVStream* stream, int64_t timestamp) {
  if (timestamp == AV_NOPTS_VALUE) return -1.0;
  double seconds = timestamp * av_q2d(stream->time_base);
  if (input->start_time != AV_NOPTS_VALUE) seconds -= static_cast<double>(input->start_time) / AV_TIME_BASE;
  return seconds;
}

}  // namespace tarn::encoder
