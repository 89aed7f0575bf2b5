#include "audio_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace tarnplayer {

namespace {

constexpr int kOutputRate = 48000;
constexpr int kPesHeaderBytes = 3;  // frame count and first access unit pointer

AVCodecID CodecOf(AudioCoding coding) {
  switch (coding) {
    case AudioCoding::AC3: return AV_CODEC_ID_AC3;
    case AudioCoding::MPEG: return AV_CODEC_ID_MP2;
    case AudioCoding::LPCM: return AV_CODEC_ID_PCM_DVD;
    case AudioCoding::DTS: return AV_CODEC_ID_DTS;
  }
  return AV_CODEC_ID_NONE;
}

}  // namespace

struct AudioDecoder::Impl {
  AudioCoding coding = AudioCoding::AC3;
  const AVCodec* codec = nullptr;
  AVCodecContext* decoder = nullptr;
  AVCodecContext* parserContext = nullptr;
  AVCodecParserContext* parser = nullptr;  // none for LPCM: every PES is whole samples
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;

  SwrContext* resampler = nullptr;
  int inRate = 0, inFormat = -1;
  AVChannelLayout inLayout{};

  // Extrapolation for blocks whose packet had no time stamp.
  int64_t basePts = -1;
  int64_t samplesSinceBase = 0;
  int64_t unusedPts = -1;

  ~Impl() {
    swr_free(&resampler);
    av_channel_layout_uninit(&inLayout);
    if (parser) av_parser_close(parser);
    avcodec_free_context(&decoder);
    avcodec_free_context(&parserContext);
    av_packet_free(&packet);
    av_frame_free(&frame);
  }

  bool EnsureResampler(const AVFrame* f) {
    if (resampler && f->sample_rate == inRate && f->format == inFormat &&
        av_channel_layout_compare(&f->ch_layout, &inLayout) == 0) {
      return true;
    }
    swr_free(&resampler);
    av_channel_layout_uninit(&inLayout);
    AVChannelLayout in{};
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&in, f->ch_layout.nb_channels);
    } else {
      av_channel_layout_copy(&in, &f->ch_layout);
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_S16, kOutputRate, &in,
                            static_cast<AVSampleFormat>(f->format), f->sample_rate, 0,
                            nullptr) < 0 ||
        swr_init(resampler) < 0) {
      av_channel_layout_uninit(&in);
      swr_free(&resampler);
      return false;
    }
    av_channel_layout_uninit(&in);
    av_channel_layout_copy(&inLayout, &f->ch_layout);
    inRate = f->sample_rate;
    inFormat = f->format;
    return true;
  }

  void Convert(const AVFrame* f, int64_t packetPts, std::vector<DecodedAudio>& out) {
    if (f->sample_rate <= 0 || f->ch_layout.nb_channels <= 0 || !EnsureResampler(f)) return;
    // The samples still inside the resampler come out before this frame's.
    const int64_t delay90k = swr_get_delay(resampler, 90000);
    int64_t pts = -1;
    if (packetPts >= 0) {
      pts = packetPts - delay90k;
      basePts = pts;
      samplesSinceBase = 0;
    } else if (basePts >= 0) {
      pts = basePts + samplesSinceBase * 90000 / kOutputRate;
    }
    DecodedAudio block;
    const int capacity = swr_get_out_samples(resampler, f->nb_samples);
    if (capacity <= 0) return;
    block.samples.resize(static_cast<size_t>(capacity) * 2);
    uint8_t* dst = reinterpret_cast<uint8_t*>(block.samples.data());
    int produced = swr_convert(resampler, &dst, capacity,
                               const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    if (produced <= 0) return;
    block.samples.resize(static_cast<size_t>(produced) * 2);
    block.pts90k = pts;
    if (basePts >= 0) samplesSinceBase += produced;
    out.push_back(std::move(block));
  }

  void DecodePacket(const uint8_t* data, int size, int64_t pts, std::vector<DecodedAudio>& out) {
    // A packet that gives no samples (the tail of a frame cut off by a seek)
    // hands its time stamp on to the next one.
    if (pts < 0) pts = unusedPts;
    unusedPts = -1;
    packet->data = const_cast<uint8_t*>(data);
    packet->size = size;
    packet->pts = AV_NOPTS_VALUE;
    bool produced = false;
    if (avcodec_send_packet(decoder, packet) >= 0) {
      while (avcodec_receive_frame(decoder, frame) >= 0) {
        Convert(frame, pts, out);
        produced = true;
        pts = -1;  // later frames of the same packet follow on by sample count
        av_frame_unref(frame);
      }
    }
    if (!produced) unusedPts = pts;
  }

  // Hands `size` bytes to the parser and decodes the frames it completes;
  // `pts` (or AV_NOPTS_VALUE) is the time stamp of the first frame starting in them.
  void Parse(const uint8_t* data, size_t size, int64_t pts, std::vector<DecodedAudio>& out);

  // LPCM: the PES time stamp belongs to the first audio frame starting in the
  // packet, `firstUnit` bytes in; the samples before it end the previous frame.
  static int64_t LpcmPacketStart(const uint8_t* data, size_t size, int64_t pts) {
    if (pts < 0 || size < 6) return pts;
    static constexpr int kRates[4] = {48000, 96000, 44100, 32000};
    const size_t firstUnit = static_cast<size_t>(data[1] << 8 | data[2]);
    const int bits = 16 + 4 * ((data[4] >> 6) & 3);
    const int rate = kRates[(data[4] >> 4) & 3];
    const int channels = (data[4] & 7) + 1;
    // The pointer counts from the byte after it; the 3 LPCM header bytes come first.
    if (firstUnit < 4 || firstUnit - 4 > size - 6 || bits > 24) return pts;
    const int64_t samplesBefore = static_cast<int64_t>(firstUnit - 4) * 8 / (bits * channels);
    return pts - samplesBefore * 90000 / rate;
  }
};

AudioDecoder::AudioDecoder() = default;
AudioDecoder::~AudioDecoder() = default;

bool AudioDecoder::Open(AudioCoding coding) {
  impl_ = std::make_unique<Impl>();
  Impl& d = *impl_;
  d.coding = coding;
  d.codec = avcodec_find_decoder(CodecOf(coding));
  d.packet = av_packet_alloc();
  d.frame = av_frame_alloc();
  if (!d.codec || !d.packet || !d.frame) {
    impl_.reset();
    return false;
  }
  d.decoder = avcodec_alloc_context3(d.codec);
  if (!d.decoder || avcodec_open2(d.decoder, d.codec, nullptr) < 0) {
    impl_.reset();
    return false;
  }
  if (coding != AudioCoding::LPCM) {
    // A separate context for the parser: it rewrites codec fields as it learns the stream.
    d.parserContext = avcodec_alloc_context3(nullptr);
    d.parser = av_parser_init(d.codec->id);
    if (!d.parserContext || !d.parser) {
      impl_.reset();
      return false;
    }
  }
  return true;
}

void AudioDecoder::Decode(const uint8_t* data, size_t size, int64_t pts90k,
                          std::vector<DecodedAudio>& out) {
  if (!impl_ || !data) return;
  Impl& d = *impl_;
  if (d.coding == AudioCoding::LPCM) pts90k = Impl::LpcmPacketStart(data, size, pts90k);
  // AC-3 and DTS: the time stamp belongs to the first frame that starts in
  // this packet, `firstUnit` bytes in; the bytes before it end a frame that
  // started in an earlier packet.
  size_t firstUnit = 0;
  if (d.coding != AudioCoding::MPEG) {
    if (size <= kPesHeaderBytes) return;
    firstUnit = static_cast<size_t>(data[1] << 8 | data[2]);
    data += kPesHeaderBytes;
    size -= kPesHeaderBytes;
  }
  if (d.coding == AudioCoding::LPCM) {
    // LPCM: the decoder reads the 3 LPCM header bytes itself and keeps
    // partial sample groups for the next packet.
    d.DecodePacket(data, static_cast<int>(size), pts90k, out);
    return;
  }
  if (!d.parser) return;
  int64_t pts = pts90k < 0 ? AV_NOPTS_VALUE : pts90k;
  // The end of the earlier frame goes to the parser on its own, without the
  // time stamp: given together, the parser stamps that frame, which it
  // completes here, with this packet's time, one frame too late (when only
  // the first bytes of its header were in the earlier packet), and the
  // frame the time stamp belongs to a second time.
  if (pts != AV_NOPTS_VALUE && firstUnit > 1 && firstUnit - 1 < size) {
    d.Parse(data, firstUnit - 1, AV_NOPTS_VALUE, out);
    data += firstUnit - 1;
    size -= firstUnit - 1;
  }
  d.Parse(data, size, pts, out);
}

void AudioDecoder::Impl::Parse(const uint8_t* data, size_t size, int64_t pts, std::vector<DecodedAudio>& out) {
  while (size > 0) {
    uint8_t* unit = nullptr;  // one whole coded frame, once the parser has it
    int unitSize = 0;
    int used = av_parser_parse2(parser, parserContext, &unit, &unitSize, data, static_cast<int>(size), pts,
                                AV_NOPTS_VALUE, 0);
    if (used < 0) break;
    pts = AV_NOPTS_VALUE;
    data += used;
    size -= static_cast<size_t>(used);
    if (unitSize > 0) {
      int64_t unitPts = parser->pts == AV_NOPTS_VALUE ? -1 : parser->pts;
      DecodePacket(unit, unitSize, unitPts, out);
    }
  }
}

void AudioDecoder::Flush() {
  if (!impl_) return;
  Impl& d = *impl_;
  avcodec_flush_buffers(d.decoder);
  if (d.parser) {
    av_parser_close(d.parser);
    d.parser = av_parser_init(d.codec->id);
  }
  swr_free(&d.resampler);
  d.inRate = 0;
  d.inFormat = -1;
  d.basePts = -1;
  d.samplesSinceBase = 0;
  d.unusedPts = -1;
}

}  // namespace tarnplayer
