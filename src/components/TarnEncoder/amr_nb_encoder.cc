// AMR-NB through libopencore-amrnb. Each 20 ms frame of 160 samples becomes
// one packet in the storage format (a mode header byte and the speech bits),
// which is what FFmpeg's 3GP, 3G2 and AMR muxers expect for AV_CODEC_ID_AMR_NB.
#include <opencore-amrnb/interf_enc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "audio_encoder.h"
#include "ffmpeg_handles.h"

namespace tarn::encoder {
namespace {

constexpr int kAmrRate = 8000;
constexpr int kAmrFrameSamples = 160;
constexpr int kModeBitrates[] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
constexpr int kModeCount = sizeof(kModeBitrates) / sizeof(kModeBitrates[0]);
constexpr int kMaxFrameBytes = 32;

class AmrNbEncoder final : public AudioEncoder {
 public:
  AmrNbEncoder(void* state, int mode) : state_(state), mode_(mode) { av_channel_layout_default(&layout_, 1); }
  ~AmrNbEncoder() override { Encoder_Interface_exit(state_); }

  int SampleRate() const override { return kAmrRate; }
  const AVChannelLayout& Layout() const override { return layout_; }
  AVSampleFormat SampleFormat() const override { return AV_SAMPLE_FMT_S16; }
  int FrameSamples() const override { return kAmrFrameSamples; }
  bool FixedFrames() const override { return true; }

  bool DescribeStream(AVStream* stream) const override {
    AVCodecParameters* par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_AMR_NB;
    par->sample_rate = kAmrRate;
    if (av_channel_layout_copy(&par->ch_layout, &layout_) < 0) return false;
    par->bit_rate = AmrNbModeBitrate(mode_);
    par->frame_size = kAmrFrameSamples;
    stream->time_base = AVRational{1, kAmrRate};
    return true;
  }

  bool Encode(const AVFrame* frame, const PacketSink& sink) override {
    if (!frame) return true;  // nothing is held back between frames
    if (frame->nb_samples != kAmrFrameSamples || frame->format != AV_SAMPLE_FMT_S16) return false;
    uint8_t bytes[kMaxFrameBytes];
    const int size = Encoder_Interface_Encode(state_, static_cast<Mode>(mode_),
                                              reinterpret_cast<const short*>(frame->data[0]), bytes, 0);
    if (size <= 0) return false;
    PacketHandle packet = NewPacket();
    if (!packet || av_new_packet(packet.get(), size) < 0) return false;
    std::copy(bytes, bytes + size, packet->data);
    packet->pts = packet->dts = frame->pts;
    packet->duration = kAmrFrameSamples;
    packet->flags |= AV_PKT_FLAG_KEY;
    return sink(packet.get());
  }

 private:
  void* state_;
  int mode_;
  AVChannelLayout layout_{};
};

}  // namespace

int NearestAmrNbMode(double kilobits) {
  const double bits = kilobits * 1000.0;
  int best = kModeCount - 1;
  for (int mode = 0; mode < kModeCount; ++mode)
    if (std::fabs(kModeBitrates[mode] - bits) < std::fabs(kModeBitrates[best] - bits)) best = mode;
  return best;
}

int AmrNbModeBitrate(int mode) { return mode >= 0 && mode < kModeCount ? kModeBitrates[mode] : 0; }

std::unique_ptr<AudioEncoder> MakeAmrNbEncoder(double kilobits) {
  void* state = Encoder_Interface_init(0);  // no discontinuous transmission: every frame is speech
  if (!state) return nullptr;
  return std::make_unique<AmrNbEncoder>(state, NearestAmrNbMode(kilobits));
}

}  // namespace tarn::encoder
