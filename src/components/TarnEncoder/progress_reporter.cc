#include "progress_reporter.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavformat/avio.h>
}

namespace tarn::encoder {

ProgressReporter::ProgressReporter(TarnEncoderProgressFn callback, void* window, double durationSeconds,
                                   AVIOContext* input)
    : callback_(callback), window_(window), duration_(durationSeconds), input_(input) {}

bool ProgressReporter::Report(float percentage) {
  if (cancelled_) return false;
  const int whole = static_cast<int>(percentage);
  // The host answers each call with a sent window message, so only a grown
  // whole percentage is worth a call.
  if (whole <= lastWhole_) return true;
  lastWhole_ = whole;
  if (callback_ && callback_(percentage, window_) != 0) cancelled_ = true;
  return !cancelled_;
}

bool ProgressReporter::Start() { return Report(0.0f); }

bool ProgressReporter::At(double seconds) {
  double fraction = -1.0;
  if (duration_ > 0.0 && seconds >= 0.0) {
    fraction = seconds / duration_;
  } else if (input_) {
    const int64_t size = avio_size(input_);
    if (size > 0) fraction = static_cast<double>(avio_tell(input_)) / static_cast<double>(size);
  }
  if (fraction < 0.0) return !cancelled_;
  // 100 is kept for Finish(), once the output is complete.
  return Report(static_cast<float>(std::clamp(fraction * 100.0, 0.0, 99.0)));
}

bool ProgressReporter::Finish() { return Report(100.0f); }

}  // namespace tarn::encoder
