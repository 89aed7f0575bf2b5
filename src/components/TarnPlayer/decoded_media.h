// What the decoding modules hand to the engine: whole pictures and PCM blocks
// with their stream time stamps.
#ifndef TARN_COMPONENTS_TARNPLAYER_DECODED_MEDIA_H
#define TARN_COMPONENTS_TARNPLAYER_DECODED_MEDIA_H

#include <cstdint>
#include <vector>

namespace tarnplayer {

struct DecodedPicture {
  std::vector<uint8_t> data;  // planar 4:2:0, Y then U then V, tightly packed: width*height*3/2 bytes
  int width = 0, height = 0;
  int64_t pts90k = -1;        // the stream's 90 kHz time stamp of this picture, -1 when unknown (then the caller extrapolates)
  int64_t duration90k = 0;    // from the stream's frame rate and repeat flags (3600 PAL, 3003 NTSC, more for repeated fields)
  bool interlaced = false;    // the coded picture was interlaced (data is already deinterlaced)
};

struct DecodedAudio {
  std::vector<int16_t> samples;  // interleaved stereo, 48 kHz, 16-bit, whatever the disc holds
  int64_t pts90k = -1;           // of the first sample, -1 when unknown
};

}  // namespace tarnplayer

#endif  // TARN_COMPONENTS_TARNPLAYER_DECODED_MEDIA_H
