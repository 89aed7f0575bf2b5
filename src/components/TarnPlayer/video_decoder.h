// MPEG-1/MPEG-2 video decoding (libavcodec) with deinterlacing of interlaced
// pictures (libavfilter), producing tightly packed planar 4:2:0 pictures.
#ifndef TARN_COMPONENTS_TARNPLAYER_VIDEO_DECODER_H
#define TARN_COMPONENTS_TARNPLAYER_VIDEO_DECODER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "decoded_media.h"

namespace tarnplayer {

class VideoDecoder {
 public:
  VideoDecoder();
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  bool Open();  // MPEG-1 and MPEG-2 video (the decoder follows the stream)
  // Feeds one PES payload with its PES time stamp (-1 when the PES has none);
  // appends every picture it completes, deinterlaced when interlaced, in presentation order.
  void Decode(const uint8_t* data, size_t size, int64_t pts90k, std::vector<DecodedPicture>& out);
  // End of a still or of the stream: appends the pictures the decoder still holds (a still's only picture must come out).
  void Drain(std::vector<DecodedPicture>& out);
  void Flush();  // drops everything held (seek, title or menu change)

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnplayer

#endif  // TARN_COMPONENTS_TARNPLAYER_VIDEO_DECODER_H
