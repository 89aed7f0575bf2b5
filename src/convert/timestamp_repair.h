#pragma once
// What the capture callbacks do with every decoded picture and PCM block:
// refuse what lies outside the job, drop duplicates, keep the audio gapless,
// remember each audio discontinuity as a saved jump and move the video time
// line back by the matching gaps, so that pictures and the gapless audio stay
// in step; store what passes in the frame exchange, slow the capture by the
// backlog, drive the virtual clock and decide whether the preview shows the
// picture.
//
// The class reads the playback position and the conversion flags through a
// CaptureEnvironment, so tests drive it directly; capture_callbacks.h binds it
// to the process-wide records.
#include <cstdint>

#include "convert/frame_exchange.h"
#include "convert/job_range.h"

namespace tarn {

class CaptureEnvironment {
 public:
  virtual ~CaptureEnvironment() = default;
  virtual bool Recording() = 0;
  virtual bool StopRequested() = 0;
  virtual int ClockMode() = 0;
  virtual bool SeekPending() = 0;
  // The core is not in the title domain or plays another title than the one
  // recorded at job start.
  virtual bool LeftJobTitle() = 0;
  // The rip progress record's playback position and stop position, whole seconds.
  virtual int32_t CurrentSeconds() = 0;
  virtual int32_t EndSeconds() = 0;
  virtual int32_t DisplayVideoWhenConvert() = 0;
  virtual void ReportToClock(int64_t streamTime, int64_t start) = 0;
  // One short step of a wait for room in a ring (10 ms, pumping messages).
  virtual void WaitForRoom() = 0;
  virtual void PumpMessages() = 0;
  // Milliseconds of a steady clock.
  virtual int64_t NowMs() = 0;
};

// How long the video callback waits for room in a full picture ring while the
// encoder takes no picture at all. The encoder normally frees a slot within
// milliseconds; when it stops taking pictures (it waits for audio, or it
// encodes no video), holding the capture back any longer would also hold
// back the audio it waits for.
inline constexpr int64_t kFullRingPatienceMs = 5000;

class TimestampRepair {
 public:
  TimestampRepair(FrameExchange& exchange, JobRange& range, CaptureEnvironment& environment);

  // 1: the preview may show the picture, 0: it must not.
  int OnVideoFrame(int width, int height, int64_t streamTime, int64_t start, int64_t stop,
                   const unsigned char* pixels);
  // 1 while recording; when not recording -1 while a title seek is pending, else 0.
  int OnAudioBlock(int channels, int sampleRate, int samplesPerChannel, int64_t start,
                   const unsigned char* samples);

 private:
  // Out of range for both streams: another title or domain, or the
  // whole-second position test (PositionPastJobEnd).
  bool LeftJob();
  // Works through the saved jumps for a frame that starts at `start`; false
  // when the frame must be dropped (it is reported to the clock already).
  bool RepairVideoTime(int64_t streamTime, int64_t start);
  bool StoreVideo(int width, int height, const unsigned char* pixels, int64_t duration);
  bool StoreAudio(const unsigned char* bytes, int64_t byteCount, int64_t pts);

  FrameExchange& exchange_;
  JobRange& range_;
  CaptureEnvironment& env_;
  // The last full-ring wait ran out of patience while the reader had freed
  // idleMark_ pictures; pictures that find the ring full are dropped at once
  // until the reader frees another one.
  bool videoConsumerIdle_ = false;
  uint64_t idleMark_ = 0;
};

}  // namespace tarn
