// The title ripper's time update: the status line and progress bar of a
// running job (refreshed once per 5 seconds of playback), the time text,
// and the end of fast mode once the title seek's target plays.
#include <cstdio>
#include <string>

#include "convert/rip_job.h"
#include "platform/clock.h"
#include "ui/title_ripper_batch.h"

namespace tarn {
namespace {

constexpr int kStatusRefreshSeconds = 5;

std::string Hms(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

}  // namespace

void CTitleRipperBatch::OnTimeUpdate() {
  if (!playback_.IsOpen()) return;
  const DVD_HMSF_TIMECODE now = playback_.CurrentTime();
  const DVD_HMSF_TIMECODE total = playback_.TotalTime();

  if (Conversion().recording) {
    RipProgress& p = Progress();
    const int32_t position = WholeSeconds(now);
    if (position - WholeSeconds(UnpackTimecode(p.lastStatusPosition)) < kStatusRefreshSeconds) return;
    p.lastStatusPosition = PackTimecode(now);
    p.currentSeconds = position;
    p.lastClock = static_cast<int32_t>(platform::TickCount());
    const double length = p.lengthSeconds > 0 ? p.lengthSeconds.load() : 1;
    double done = (p.currentSeconds - p.startSeconds) / length;
    if (done < 0) done = 0;
    const double elapsedMs = static_cast<uint32_t>(p.lastClock - p.startClock);
    const int64_t estimate = done > 0 ? static_cast<int64_t>(elapsedMs / done / 1000) : 0;
    const std::string a = "Total time: " + Hms(estimate) + "; ";
    const std::string b = a + "Elapsed Time: " + Hms(static_cast<int64_t>(elapsedMs / 1000)) + "; ";
    char line[256];
    std::snprintf(line, sizeof line, "%s Finished %.2f%%;", b.c_str(), done * 100);
    if (view_.ProgressOpen()) view_.SetProgress(static_cast<int>(done * 100), line);
  }

  char text[64];
  std::snprintf(text, sizeof text, "[%02d:%02d:%02d / %02d:%02d:%02d]", now.bHours, now.bMinutes, now.bSeconds,
                total.bHours, total.bMinutes, total.bSeconds);
  view_.SetTimeText(text);
  if (playback_.State() == kCoreStopped) view_.SetTimeText("00:00:00 / 00:00:00");

  if (playback_.ClockMode() == 1 && playback_.SeekPending() && playback_.State() == kCorePlaying &&
      playback_.CurrentTitle() == targetTitle_) {
    playback_.SetSeekPending(false);
    playback_.SetClockMode(0);
  }
}

}  // namespace tarn
