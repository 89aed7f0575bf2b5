// Constant frame rate out of timed pictures: every output frame shows the
// latest picture that started at or before the frame's time (times rounded
// to the nearest output frame, so small jitter neither duplicates nor drops).
// The first picture always fills the frames from time 0.
#ifndef TARN_COMPONENTS_RIDIRUD_FRAME_RATE_CONVERTER_H
#define TARN_COMPONENTS_RIDIRUD_FRAME_RATE_CONVERTER_H

#include <cstdint>

#include "encoder_settings.h"

namespace ridirud {

class FrameRateConverter {
 public:
  explicit FrameRateConverter(FrameRate rate) : rate_(rate) {}

  // A new picture starts at time_us: how many frames the picture held so far
  // fills before it (0 for the first picture, which has nothing before it).
  int64_t FramesBefore(int64_t time_us);
  // The stream ends at end_us: how many frames the held picture still fills.
  int64_t FramesUntil(int64_t end_us);
  // Frames counted so far (the next frame's index).
  int64_t frames() const { return frames_; }

 private:
  int64_t FrameIndexAt(int64_t time_us) const;

  FrameRate rate_;
  bool holding_ = false;
  int64_t frames_ = 0;
};

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_FRAME_RATE_CONVERTER_H
