#pragma once
// The time values of a batch job: the navigator time window the job starts
// at and shows progress against, and the exact range the encoder gets.
#include <cstdint>

#include "convert/rip_job.h"

namespace tarn {

struct JobWindow {
  // Start and end as the navigator positions of the job: the start is where
  // playback is put, the end (one second earlier when its frames byte is 0)
  // is the whole-second fallback stop and the progress scale.
  JobTimeWindow window;
  // The exact range to convert, in 100 ns of title elapsed time: from the
  // first to the last picture of the title, or the marked start to end.
  int64_t rangeStart = 0;
  int64_t rangeEnd = 0;
};

// x seconds as hours = x / 3600, minutes = (x / 60) mod 60, seconds = x mod
// 60 (each truncated), frames 0.
DVD_HMSF_TIMECODE SecondsToTimecode(double seconds);

// The time window before playback is put at its start: untrimmed rows run
// from 00:00:00 frames 1 to the total time; trimmed rows from their trimmed
// start to end, a start past the total time becoming 00:00:01 frames 20
// and an end past it the total time.
JobTimeWindow ComputeStartWindow(const RipJob& job, const DVD_HMSF_TIMECODE& total);

// The end moved one second earlier when its frames byte is 0.
DVD_HMSF_TIMECODE FallbackStop(const DVD_HMSF_TIMECODE& end);

// Both the time window (with the fallback stop applied) and the exact range.
// The range ends at the title's exact length (the row's untrimmed end, else
// the core's total time) unless the row is trimmed to end earlier.
JobWindow ComputeJobWindow(const RipJob& job, const DVD_HMSF_TIMECODE& total);

// Where playback is put for a job starting at `start`: a time search lands
// on the first picture it can decode at or after the time asked for, so
// playback begins up to kPreRollSeconds earlier and the capture drops what
// lies before the range start. A start within the first seconds plays from
// the title's beginning.
inline constexpr int kPreRollSeconds = 2;
DVD_HMSF_TIMECODE PreRollStart(const DVD_HMSF_TIMECODE& start);

inline constexpr int64_t kUnitsPerSecond = 10'000'000;

}  // namespace tarn
