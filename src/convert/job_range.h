#pragma once
// The stretch of the title a job converts, in 100 ns of the title's elapsed
// time (the time line the engine stamps pictures and audio blocks with).
// The capture callbacks store only what lies in [start, end): pictures that
// start before `start` are not stored, audio is cut to the range at sample
// precision, and the first picture that starts at or after `end` marks the
// end as reached, which ends the encode once the rings are drained.
//
// Every ResetExchange opens the range ([0, open end), endReached cleared), so
// a preview or a recording never inherits the range of an earlier job. A job
// starter sets the range after its last ResetExchange and before it starts
// the job: SetJobRange for a trimmed job or a whole title (its length as the
// end). With an open end the job stops at the title change or by the
// whole-second position test on the rip progress record.
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

// The whole-second position test on the rip progress record (the window
// refreshes currentSeconds only every 5 s of playback). With an open range
// it is the job's stop: currentSeconds >= endSeconds. With a set range the
// picture times end the job, and the position only backs them up once it
// lies past the range end, so it can never cut the range short.
bool PositionPastJobEnd(const JobRange& range, int32_t currentSeconds, int32_t endSeconds);

// Seconds (as the rip job record keeps them) to 100 ns units, rounded to
// the nearest unit.
int64_t RangeTimeFromSeconds(double seconds);

}  // namespace tarn
