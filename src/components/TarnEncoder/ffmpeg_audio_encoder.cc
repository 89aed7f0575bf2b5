// FFmpeg's own audio encoders (PCM for AU and WAV, AAC for M4A).
#include "audio_encoder.h"
#include "ffmpeg_handles.h"

#include <utility>

namespace tarn::encoder {
namespace {

// Frame length handed to encoders that take any length (PCM).
constexpr int kFreeFrameSamples = 1152;

class FfmpegAudioEncoder final : public AudioEncoder {
 public:
  explicit FfmpegAudioEncoder(CodecContextHandle ctx) : ctx_(std::move(ctx)) {}

  int SampleRate() const override { return ctx_->sample_rate; }
  const AVChannelLayout& Layout() const override { return ctx_->ch_layout; }
  AVSampleFormat SampleFormat() const override { return ctx_->sample_fmt; }
  int FrameSamples() const override { return ctx_->frame_size > 0 ? ctx_->frame_size : kFreeFrameSamples; }
  bool FixedFrames() const override {
    return ctx_->frame_size > 0 && !(ctx_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) &&
           !(ctx_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
  }

  bool DescribeStream(AVStream* stream) const override {
    if (avcodec_parameters_from_context(stream->codecpar, ctx_.get()) < 0) return false;
    stream->time_base = ctx_->time_base;
    return true;
  }

  bool Encode(const AVFrame* frame, const PacketSink& sink) override {
    if (avcodec_send_frame(ctx_.get(), frame) < 0) return false;
    PacketHandle packet = NewPacket();
    if (!packet) return false;
    for (;;) {
      const int got = avcodec_receive_packet(ctx_.get(), packet.get());
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
      if (got < 0) return false;
      const bool kept = sink(packet.get());
      av_packet_unref(packet.get());
      if (!kept) return false;
    }
  }

 private:
  CodecContextHandle ctx_;
};

AVSampleFormat PreferredFormat(const AVCodec* codec) {
  if (!codec->sample_fmts) return AV_SAMPLE_FMT_S16;
  return codec->sample_fmts[0];
}

}  // namespace

std::unique_ptr<AudioEncoder> MakeFfmpegAudioEncoder(AVCodecID codecId, int sampleRate, int channels,
                                                     int64_t bitRate, bool globalHeader) {
  const AVCodec* codec = avcodec_find_encoder(codecId);
  if (!codec || sampleRate <= 0 || channels <= 0) return nullptr;
  CodecContextHandle ctx(avcodec_alloc_context3(codec));
  if (!ctx) return nullptr;
  ctx->sample_rate = sampleRate;
  av_channel_layout_default(&ctx->ch_layout, channels);
  ctx->sample_fmt = PreferredFormat(codec);
  ctx->time_base = AVRational{1, sampleRate};
  if (bitRate > 0) ctx->bit_rate = bitRate;
  if (globalHeader) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  ctx->thread_count = 1;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
  return std::make_unique<FfmpegAudioEncoder>(std::move(ctx));
}

}  // namespace tarn::encoder
