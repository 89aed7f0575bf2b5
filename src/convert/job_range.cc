#include "convert/job_range.h"

#include <cmath>

namespace tarn {

JobRange& CurrentJobRange() {
  static JobRange range;
  return range;
}

void SetJobRange(JobRange& range, int64_t start, int64_t end) {
  if (start < 0) start = 0;
  if (end <= start) end = kOpenRangeEnd;
  range.start = start;
  range.end = end;
  range.endReached = 0;
}

void SetJobRange(int64_t start, int64_t end) { SetJobRange(CurrentJobRange(), start, end); }

void SetOpenJobRange() { SetJobRange(CurrentJobRange(), 0, kOpenRangeEnd); }

bool PositionPastJobEnd(const JobRange& range, int32_t currentSeconds, int32_t endSeconds) {
  if (currentSeconds < endSeconds) return false;
  const int64_t end = range.end.load();
  if (end == kOpenRangeEnd) return true;
  // The first whole second that lies entirely past the range end.
  return static_cast<int64_t>(currentSeconds) > end / 10000000;
}

int64_t RangeTimeFromSeconds(double seconds) {
  if (!(seconds > 0.0)) return 0;
  if (seconds >= 9.0e11) return kOpenRangeEnd;
  return static_cast<int64_t>(std::llround(seconds * 10000000.0));
}

}  // namespace tarn
