// DVD audio decoding (AC-3, MPEG audio, LPCM, DTS through libavcodec), every
// stream converted to 48 kHz stereo 16-bit interleaved with libswresample.
#ifndef TARN_COMPONENTS_TARNPLAYER_AUDIO_DECODER_H
#define TARN_COMPONENTS_TARNPLAYER_AUDIO_DECODER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "decoded_media.h"

namespace tarnplayer {

enum class AudioCoding { AC3, MPEG, LPCM, DTS };

class AudioDecoder {
 public:
  AudioDecoder();
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  bool Open(AudioCoding coding);
  // AC3, DTS, LPCM: `data` is the private-stream-1 PES payload after the substream id byte
  // (so it starts with the frame count and the 2-byte first-access-unit pointer; for LPCM the
  // 3 LPCM header bytes follow them). MPEG audio: the whole PES payload.
  void Decode(const uint8_t* data, size_t size, int64_t pts90k, std::vector<DecodedAudio>& out);
  void Flush();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnplayer

#endif  // TARN_COMPONENTS_TARNPLAYER_AUDIO_DECODER_H
