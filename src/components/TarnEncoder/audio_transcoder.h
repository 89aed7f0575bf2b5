#pragma once
// Decodes one input audio stream, converts it to what an AudioEncoder takes
// (rate, channels, sample format, frame length) and encodes it.
#include <cstdint>

#include "audio_encoder.h"
#include "ffmpeg_handles.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}

namespace tarn::encoder {

class AudioTranscoder {
 public:
  explicit AudioTranscoder(AudioEncoder& encoder) : encoder_(encoder) {}
  ~AudioTranscoder();
  AudioTranscoder(const AudioTranscoder&) = delete;
  AudioTranscoder& operator=(const AudioTranscoder&) = delete;

  // Opens the decoder of `stream`; false when it cannot be decoded.
  bool Open(const AVStream* stream);
  // Decodes one packet of the stream and encodes every full frame. A packet
  // the decoder rejects as damaged is skipped.
  bool Push(const AVPacket* packet, const PacketSink& sink);
  // Drains decoder, resampler and encoder; the last short frame is padded
  // with silence where the encoder needs whole frames.
  bool Finish(const PacketSink& sink);

 private:
  bool OpenResampler();
  bool ConvertFrame(const AVFrame* decoded);  // null drains the resampler
  bool EncodeQueued(bool all, const PacketSink& sink);
  bool ReceiveDecoded(const PacketSink& sink);

  AudioEncoder& encoder_;
  CodecContextHandle decoder_;
  ResamplerHandle resampler_;
  AVAudioFifo* fifo_ = nullptr;
  FrameHandle decoded_;
  int64_t nextPts_ = AV_NOPTS_VALUE;  // in samples at the encoder's rate
  // Where the input stream says it ends, in the same samples: a decoder
  // hands out whole frames (128 ms of AAC at 8 kHz), so the tail of the last
  // frame past the stream's end is left out.
  int64_t endPts_ = AV_NOPTS_VALUE;
};

}  // namespace tarn::encoder
