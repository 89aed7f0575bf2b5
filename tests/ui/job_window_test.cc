// The job's navigator time window (start, fallback stop) and the exact
// range the encoder converts.
#include <gtest/gtest.h>

#include "ui/job_window.h"

namespace tarn {
namespace {

RipJob Row(double fullEnd, double start, double end) {
  RipJob job;
  job.fullEnd = fullEnd;
  job.trimmedStart = start;
  job.trimmedEnd = end;
  job.trimmed = IsTrimmed(job);
  return job;
}

struct WindowCase {
  const char* name;
  RipJob job;
  DVD_HMSF_TIMECODE total;
  DVD_HMSF_TIMECODE start, end;  // the time window as the job starts and stops by it
  double rangeStart, rangeEnd;    // seconds
};

TEST(JobWindow, WindowAndExactRange) {
  const DVD_HMSF_TIMECODE hour{1, 0, 0, 0};
  const WindowCase cases[] = {
      // The whole-second stop takes a second off an end with frames 0; the
      // range still ends at the marked end.
      {"trimmed end 00:10:00", Row(3600, 30, 600), hour, {0, 0, 30, 0}, {0, 9, 59, 0}, 30, 600},
      // An untrimmed end is the total time as it stands when its frames
      // byte is not 0; the range runs to the title's exact length.
      {"untrimmed", Row(72.48, 0, 72.48), {0, 1, 12, 12}, {0, 0, 0, 1}, {0, 1, 12, 12}, 0, 72.48},
      // ...and a second earlier when it is 0, which the range does not follow.
      {"untrimmed frames 0", Row(20, 0, 20), {0, 0, 20, 0}, {0, 0, 0, 1}, {0, 0, 19, 0}, 0, 20},
      // A start beyond the length starts at 00:00:01 frames 20.
      {"start beyond length", Row(64, 70, 64), {0, 1, 4, 0}, {0, 0, 1, 20}, {0, 1, 3, 0}, 1, 64},
      // An end beyond the total time becomes the total time.
      {"end beyond length", Row(64, 5, 80), {0, 1, 4, 5}, {0, 0, 5, 0}, {0, 1, 4, 5}, 5, 64},
      // Fractions reach the range, not the whole-second window.
      {"fractional", Row(24, 2.5, 9.5), {0, 0, 24, 0}, {0, 0, 2, 0}, {0, 0, 8, 0}, 2.5, 9.5},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    const JobWindow j = ComputeJobWindow(c.job, c.total);
    EXPECT_EQ(PackTimecode(j.window.start), PackTimecode(c.start));
    EXPECT_EQ(PackTimecode(j.window.end), PackTimecode(c.end));
    EXPECT_EQ(j.rangeStart, static_cast<int64_t>(c.rangeStart * kUnitsPerSecond));
    EXPECT_EQ(j.rangeEnd, static_cast<int64_t>(c.rangeEnd * kUnitsPerSecond + 0.5));
  }
}

TEST(JobWindow, PlaybackStartsBeforeTheRangeButNotBeforeTheTitle) {
  EXPECT_EQ(PackTimecode(PreRollStart({0, 0, 0, 1})), PackTimecode({0, 0, 0, 1}));
  EXPECT_EQ(PackTimecode(PreRollStart({0, 0, 1, 20})), PackTimecode({0, 0, 0, 1}));
  EXPECT_EQ(PackTimecode(PreRollStart({0, 0, 2, 0})), PackTimecode({0, 0, 0, 1}));
  EXPECT_EQ(PackTimecode(PreRollStart({0, 1, 0, 0})), PackTimecode({0, 0, 58, 0}));
  EXPECT_EQ(PackTimecode(PreRollStart({1, 0, 1, 0})), PackTimecode({0, 59, 59, 0}));
}

TEST(JobWindow, SecondsBecomeHoursMinutesSeconds) {
  const DVD_HMSF_TIMECODE t = SecondsToTimecode(3 * 3600 + 25 * 60 + 7.9);
  EXPECT_EQ(t.bHours, 3);
  EXPECT_EQ(t.bMinutes, 25);
  EXPECT_EQ(t.bSeconds, 7);
  EXPECT_EQ(t.bFrames, 0);
}

}  // namespace
}  // namespace tarn
