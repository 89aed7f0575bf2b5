#pragma once
// The audio encoders of the post-processing steps behind one interface:
// FFmpeg's own encoders (PCM, AAC) and AMR-NB through libopencore-amrnb,
// which Debian's FFmpeg does not offer as an encoder.
#include <functional>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace tarn::encoder {

// Receives each encoded packet, its times counted in samples (time base
// 1/SampleRate()); false stops the encoding.
using PacketSink = std::function<bool(AVPacket*)>;

class AudioEncoder {
 public:
  virtual ~AudioEncoder() = default;
  virtual int SampleRate() const = 0;
  virtual const AVChannelLayout& Layout() const = 0;
  virtual AVSampleFormat SampleFormat() const = 0;
  // Samples per frame handed to Encode().
  virtual int FrameSamples() const = 0;
  // True when every frame, the last one too, must hold FrameSamples().
  virtual bool FixedFrames() const = 0;
  // Describes the encoded stream on an output stream.
  virtual bool DescribeStream(AVStream* stream) const = 0;
  // Encodes one frame (its pts in samples); null drains the encoder.
  virtual bool Encode(const AVFrame* frame, const PacketSink& sink) = 0;
};

// The AMR-NB mode nearest to `kilobits` (0 = 4.75 ... 7 = 12.2 kbit/s) and
// that mode's bit rate in bits per second.
int NearestAmrNbMode(double kilobits);
int AmrNbModeBitrate(int mode);

// AMR-NB, 8000 Hz mono, 20 ms frames; null when the encoder cannot start.
std::unique_ptr<AudioEncoder> MakeAmrNbEncoder(double kilobits);

// An FFmpeg encoder (AV_CODEC_ID_PCM_S16BE, _PCM_S16LE, _AAC, ...) at the
// given rate and channel count; `bitRate` in bits per second (0 = the
// encoder's default). Null when it cannot be opened.
std::unique_ptr<AudioEncoder> MakeFfmpegAudioEncoder(AVCodecID codec, int sampleRate, int channels,
                                                     int64_t bitRate, bool globalHeader);

}  // namespace tarn::encoder
