#include "ui/job_window.h"

#include <algorithm>
#include <cmath>

namespace tarn {

DVD_HMSF_TIMECODE SecondsToTimecode(double seconds) {
  DVD_HMSF_TIMECODE t;
  const double x = std::max(seconds, 0.0);
  const auto whole = static_cast<int64_t>(x);
  t.bHours = static_cast<uint8_t>(whole / 3600);
  t.bMinutes = static_cast<uint8_t>((whole / 60) % 60);
  t.bSeconds = static_cast<uint8_t>(whole % 60);
  t.bFrames = 0;
  return t;
}

JobTimeWindow ComputeStartWindow(const RipJob& job, const DVD_HMSF_TIMECODE& total) {
  JobTimeWindow w;
  if (!job.trimmed) {
    w.start = DVD_HMSF_TIMECODE{0, 0, 0, 1};
    w.end = total;
    return w;
  }
  w.start = SecondsToTimecode(job.trimmedStart);
  w.end = SecondsToTimecode(job.trimmedEnd);
  if (CompareTimecode(w.start, total) > 0) w.start = DVD_HMSF_TIMECODE{0, 0, 1, 20};
  if (CompareTimecode(w.end, total) > 0) w.end = total;
  return w;
}

DVD_HMSF_TIMECODE FallbackStop(const DVD_HMSF_TIMECODE& end) {
  if (end.bFrames != 0) return end;
  const int32_t seconds = WholeSeconds(end);
  return seconds > 0 ? SecondsToTimecode(seconds - 1) : end;
}

DVD_HMSF_TIMECODE PreRollStart(const DVD_HMSF_TIMECODE& start) {
  const int32_t seconds = WholeSeconds(start);
  if (seconds == 0) return start;  // the title's beginning (frames 1) as it stands
  if (seconds <= kPreRollSeconds) return DVD_HMSF_TIMECODE{0, 0, 0, 1};
  return SecondsToTimecode(seconds - kPreRollSeconds);
}

JobWindow ComputeJobWindow(const RipJob& job, const DVD_HMSF_TIMECODE& total) {
  JobWindow j;
  j.window = ComputeStartWindow(job, total);
  j.window.end = FallbackStop(j.window.end);

  // The exact range never takes the second off: the encoder's stop test
  // ends on the picture at the range end, the whole-second stop only backs
  // it up.
  const double length = job.fullEnd > 0.0 ? job.fullEnd : static_cast<double>(WholeSeconds(total));
  double start = 0.0;
  double end = length;
  if (job.trimmed) {
    start = std::max(job.trimmedStart, 0.0);
    end = std::min(job.trimmedEnd, length);
    if (CompareTimecode(SecondsToTimecode(job.trimmedStart), total) > 0) start = 1.0;
    if (end < start) end = start;
  }
  j.rangeStart = std::llround(start * kUnitsPerSecond);
  j.rangeEnd = std::llround(end * kUnitsPerSecond);
  return j;
}

}  // namespace tarn
