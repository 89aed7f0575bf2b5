// The picture path: a planar 4:2:0 source picture is cropped, scaled with a
// bicubic filter and padded (black, centred) into a frame of the output size.
// Source pictures live in pooled buffers the host writes into directly; when
// nothing is to be cropped, scaled or padded, the frame refers to that buffer
// and no pixel is copied. Output frames come from a pool as well, so a long
// encode does not allocate a picture per frame.
#ifndef TARN_COMPONENTS_RIDIRUD_PICTURE_CONVERTER_H
#define TARN_COMPONENTS_RIDIRUD_PICTURE_CONVERTER_H

#include <string>

#include "output_plan.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}
struct SwsContext;

namespace ridirud {

class PictureConverter {
 public:
  PictureConverter() = default;
  ~PictureConverter();
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  bool Init(const VideoPlan& plan, std::string* error);

  // A buffer for the host to write one source picture into (contiguous
  // Y, U, V planes of the source size). Null when out of memory.
  AVBufferRef* NewSourceBuffer();
  // Turns the source picture into a new frame of the output size; takes the
  // buffer reference. Null on failure.
  AVFrame* Convert(AVBufferRef* source);

  bool passthrough() const { return passthrough_; }
  int source_bytes() const { return source_bytes_; }

 private:
  void FillBorders(AVFrame* frame) const;

  VideoPlan plan_;
  bool passthrough_ = false;
  int source_bytes_ = 0;
  AVBufferPool* source_pool_ = nullptr;
  AVBufferPool* frame_pool_ = nullptr;  // output frames, reused once the encoder lets go
  int frame_linesize_[3] = {0, 0, 0};
  int frame_plane_offset_[3] = {0, 0, 0};
  SwsContext* sws_ = nullptr;
};

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_PICTURE_CONVERTER_H
