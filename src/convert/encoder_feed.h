#pragma once
// The encoder's side of the frame exchange: the five callbacks the encoder
// library pulls through while it converts (media description and start,
// pictures, audio, the stop test and its log text), with their waits and
// time-outs. The playback position, the conversion flags, the clock and the
// waits are reached through an EncoderEnvironment so tests drive the class
// directly; encoder_callbacks.h binds it to the process-wide records.
#include <cstdint>

#include "RIDirud.h"
#include "convert/frame_exchange.h"
#include "convert/job_range.h"

namespace tarn {

class EncoderEnvironment {
 public:
  virtual ~EncoderEnvironment() = default;
  virtual bool StopRequested() = 0;
  virtual void RequestStop() = 0;
  // The core plays another title or domain than the ones recorded at job start.
  virtual bool LeftJobTitle() = 0;
  // The rip progress record's playback position and stop position, whole seconds.
  virtual int32_t CurrentSeconds() = 0;
  virtual int32_t EndSeconds() = 0;
  // A playback core exists: switch its clock to record mode (2).
  virtual void EnterRecordMode() = 0;
  // Lets the virtual clock jump to its next advise.
  virtual void NudgeClock() = 0;
  virtual void PumpMessages() = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Milliseconds of a steady clock (the time-outs are measured with it).
  virtual int64_t NowMs() = 0;
  // The core's source picture size and display aspect (x:y).
  virtual void VideoSize(int32_t& width, int32_t& height) = 0;
  virtual void DisplayAspect(uint32_t& x, uint32_t& y) = 0;
  // The job's length in whole seconds (rip progress record).
  virtual int32_t LengthSeconds() = 0;
};

inline constexpr int64_t kFirstFramesTimeoutMs = 20000;
inline constexpr int64_t kAlignTimeoutMs = 10000;
inline constexpr int64_t kAudioTimeoutMs = 10000;

// The frame-rate answer for a measured rate and a job length in seconds.
struct FrameRateChoice {
  int32_t raten = 0;
  int32_t rated = 0;
  int32_t numFrames = 0;
};
FrameRateChoice ChooseFrameRate(double fps, int32_t lengthSeconds);

// The values reported when no picture or audio came within the first wait.
void FillFallbackMediaInfo(MediaInfo& info);

class EncoderFeed {
 public:
  EncoderFeed(FrameExchange& exchange, JobRange& range, EncoderEnvironment& environment);

  // num_frames, or -1 to abort.
  int FetchMediaInfo(MediaInfo* info);
  // 0: supplied or nothing to supply, -1: stop.
  int SupplyVideoFrame(VideoRequest* request, unsigned char* destination);
  // 0: supplied or nothing to supply, -1: stop.
  int SupplyAudio(unsigned char* destination, AudioRequest* request);
  // 1: stop, 0: go on.
  int StopTest();
  void EncoderLog(const char* text);

 private:
  // The job has ended for the capture side: another title or domain, the
  // range end reached by the picture times, or the whole-second position
  // test (PositionPastJobEnd).
  bool OutOfRange();
  bool EndReached();
  // One step of the alignment waits; false (stop requested, -1 due) when the
  // 10 s limit since `since` has passed.
  bool AlignWait(int64_t since, const char* timeoutLine);

  FrameExchange& exchange_;
  JobRange& range_;
  EncoderEnvironment& env_;
};

}  // namespace tarn
