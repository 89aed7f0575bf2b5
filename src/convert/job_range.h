#pragma once
// The stretch of the title a job converts, in 100 ns of the title's elapsed
// time (the time line the engine stamps pictures and audio blocks with).
// The capture callbacks store only what lies in [start, end): pictures that
// start before `start` are not stored, audio is cut to the range at sample
// precision, and the first picture that starts at or after `end` marks the
// end as reached, which ends the encode once the rings are drained.
//
// The job starters set the range before they start a job: SetJobRange for a
// trimmed (or whole, with the title's length as end) job, SetOpenJobRange
// when the end is unknown (a recording); an open end leaves the stop to the
// title change and to the position test on the rip progress record.
// ResetExchange keeps the range (so it may be set before or after the reset)
// and only clears `endReached`.
#include <atomic>
#include <cstdint>
#include <limits>

namespace tarn {

inline constexpr int64_t kOpenRangeEnd = std::numeric_limits<int64_t>::max();

struct JobRange {
  std::atomic<int64_t> start{0};
  std::atomic<int64_t> end{kOpenRangeEnd};
  // 1 once a picture at or after `end` has reached the video callback.
  std::atomic<int32_t> endReached{0};
};

// The process-wide range of the job being converted.
JobRange& CurrentJobRange();

// Sets [start, end) and clears endReached. An end at or before the start
// is taken as an open end.
void SetJobRange(JobRange& range, int64_t start, int64_t end);
void SetJobRange(int64_t start, int64_t end);
// [0, open end): everything from the job start on, until the title changes.
void SetOpenJobRange();

// Seconds (as the rip job record keeps them) to 100 ns units, rounded to
// the nearest unit.
int64_t RangeTimeFromSeconds(double seconds);

}  // namespace tarn
