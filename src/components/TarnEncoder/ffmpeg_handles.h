#pragma once
// Owning handles for the FFmpeg objects the post-processing steps use, and
// the input opening they share.
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace tarn::encoder {

struct InputCloser {
  void operator()(AVFormatContext* ctx) const { avformat_close_input(&ctx); }
};
struct CodecContextFreer {
  void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ResamplerFreer {
  void operator()(SwrContext* swr) const { swr_free(&swr); }
};
struct ScalerFreer {
  void operator()(SwsContext* sws) const { sws_freeContext(sws); }
};

using InputHandle = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecContextHandle = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using FrameHandle = std::unique_ptr<AVFrame, FrameFreer>;
using PacketHandle = std::unique_ptr<AVPacket, PacketFreer>;
using ResamplerHandle = std::unique_ptr<SwrContext, ResamplerFreer>;
using ScalerHandle = std::unique_ptr<SwsContext, ScalerFreer>;

FrameHandle NewFrame();
PacketHandle NewPacket();

// Opens a media file and reads its stream information; null when it cannot.
InputHandle OpenInput(const std::string& path);

// The input's length in seconds from its container or streams; 0 when unknown.
double InputDurationSeconds(const AVFormatContext* input);

// Opens a decoder for `stream`; null when none exists or it fails to open.
CodecContextHandle OpenDecoder(const AVStream* stream);

// A packet's (or frame's) time in seconds on the stream's time line, counted
// from the container's start; negative when it carries no time.
double StreamSeconds(const AVFormatContext* input, const AVStream* stream, int64_t timestamp);

}  // namespace tarn::encoder
