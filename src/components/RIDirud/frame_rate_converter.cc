#include "frame_rate_converter.h"

#include <algorithm>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace ridirud {

int64_t FrameRateConverter::FrameIndexAt(int64_t time_us) const {
  if (time_us <= 0) return 0;
  // round(time * num / (den * 1e6)), halves rounded up.
  return av_rescale_rnd(time_us, rate_.num, static_cast<int64_t>(rate_.den) * 1000000,
                        static_cast<AVRounding>(AV_ROUND_NEAR_INF));
}

int64_t FrameRateConverter::FramesBefore(int64_t time_us) {
  if (!holding_) {
    holding_ = true;
    return 0;
  }
  int64_t target = FrameIndexAt(time_us);
  int64_t count = std::max<int64_t>(0, target - frames_);
  frames_ += count;
  return count;
}

int64_t FrameRateConverter::FramesUntil(int64_t end_us) {
  if (!holding_) return 0;
  int64_t target = FrameIndexAt(end_us);
  // The last picture is shown at least once.
  int64_t count = std::max<int64_t>(frames_ == 0 ? 1 : 0, target - frames_);
  frames_ += count;
  return count;
}

}  // namespace ridirud
