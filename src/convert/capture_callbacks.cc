#include "convert/capture_callbacks.h"

#include <chrono>

#include "app/settings.h"
#include "convert/frame_exchange.h"
#include "convert/job_range.h"
#include "convert/rip_job.h"
#include "convert/timestamp_repair.h"
#include "platform/message_queue.h"
#include "playback/clock_mode.h"
#include "playback/core_position.h"
#include "playback/seek_state.h"

namespace tarn {
namespace {

constexpr int32_t kTitleDomain = 4;

// The process-wide records as the capture callbacks see them.
class ProcessCaptureEnvironment : public CaptureEnvironment {
 public:
  bool Recording() override { return Conversion().recording.load() != 0; }
  bool StopRequested() override { return Conversion().stopRequest.load() != 0; }
  int ClockMode() override { return GetClockMode(); }
  bool SeekPending() override { return tarn::SeekPending().load() != 0; }
  bool LeftJobTitle() override {
    const CorePosition& p = CurrentCorePosition();
    return p.domain.load() != kTitleDomain ||
           p.title.load() != static_cast<uint32_t>(Conversion().startTitle.load());
  }
  int32_t CurrentSeconds() override { return Progress().currentSeconds.load(); }
  int32_t EndSeconds() override { return Progress().endSeconds.load(); }
  int32_t DisplayVideoWhenConvert() override { return Settings().displayVideoWhenConvert; }
  void ReportToClock(int64_t streamTime, int64_t start) override { AdjustClockToSample(streamTime, start); }
  void WaitForRoom() override { platform::PumpingSleep(10); }
  void PumpMessages() override { platform::PumpMessages(); }
  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

TimestampRepair& ProcessRepair() {
  static ProcessCaptureEnvironment* environment = new ProcessCaptureEnvironment;
  static TimestampRepair* repair = new TimestampRepair(Exchange(), CurrentJobRange(), *environment);
  return *repair;
}

}  // namespace

extern "C" int OnVideoFrame(int width, int height, int64_t streamTime, int64_t start, int64_t stop,
                            unsigned char* pixels) {
  return ProcessRepair().OnVideoFrame(width, height, streamTime, start, stop, pixels);
}

extern "C" int OnAudioBlock(int channels, int sampleRate, int samplesPerChannel, int64_t start,
                            unsigned char* samples) {
  return ProcessRepair().OnAudioBlock(channels, sampleRate, samplesPerChannel, start, samples);
}

}  // namespace tarn
