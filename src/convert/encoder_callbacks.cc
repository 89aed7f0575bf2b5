#include "convert/encoder_callbacks.h"

#include <chrono>
#include <thread>

#include "convert/encoder_feed.h"
#include "convert/frame_exchange.h"
#include "convert/job_range.h"
#include "convert/rip_job.h"
#include "platform/message_queue.h"
#include "playback/clock_mode.h"
#include "playback/core_position.h"

namespace tarn {
namespace {

// The feed's per-request wait step.
constexpr int kPollStepMs = 2;

// The process-wide records as the encoder's callbacks see them.
class ProcessEncoderEnvironment : public EncoderEnvironment {
 public:
  bool StopRequested() override { return Conversion().stopRequest.load() != 0; }
  void RequestStop() override { Conversion().stopRequest = 1; }
  bool LeftJobTitle() override {
    const CorePosition& p = CurrentCorePosition();
    const ConversionState& cs = Conversion();
    return p.title.load() != static_cast<uint32_t>(cs.startTitle.load()) || p.domain.load() != cs.startDomain.load();
  }
  int32_t CurrentSeconds() override { return Progress().currentSeconds.load(); }
  int32_t EndSeconds() override { return Progress().endSeconds.load(); }
  void EnterRecordMode() override {
    if (CurrentCorePosition().exists.load()) SetClockMode(2);
  }
  void NudgeClock() override { JumpClockToNextAdvise(); }
  void PumpMessages() override { platform::PumpMessages(); }
  // The short waits for the next picture or audio end as soon as the engine
  // stores something, so the encoder does not sit out a whole step after
  // its material arrived; the longer waits of the start keep their pace.
  void Sleep(int milliseconds) override {
    if (milliseconds <= kPollStepMs) {
      Exchange().WaitForChange(Exchange().Changes(), milliseconds);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
  }
  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void VideoSize(int32_t& width, int32_t& height) override {
    width = CurrentCorePosition().width.load();
    height = CurrentCorePosition().height.load();
  }
  void DisplayAspect(uint32_t& x, uint32_t& y) override {
    x = CurrentCorePosition().aspectX.load();
    y = CurrentCorePosition().aspectY.load();
  }
  int32_t LengthSeconds() override { return Progress().lengthSeconds.load(); }
};

EncoderFeed& ProcessFeed() {
  static ProcessEncoderEnvironment* environment = new ProcessEncoderEnvironment;
  static EncoderFeed* feed = new EncoderFeed(Exchange(), CurrentJobRange(), *environment);
  return *feed;
}

}  // namespace

extern "C" int FetchMediaInfo(MediaInfo* info) { return ProcessFeed().FetchMediaInfo(info); }

extern "C" int SupplyVideoFrame(VideoRequest* request, unsigned char* destination) {
  return ProcessFeed().SupplyVideoFrame(request, destination);
}

extern "C" int SupplyAudio(void* /*ignored*/, unsigned char* destination, AudioRequest* request) {
  return ProcessFeed().SupplyAudio(destination, request);
}

extern "C" int StopTest() { return ProcessFeed().StopTest(); }

extern "C" void EncoderLog(const char* text) { ProcessFeed().EncoderLog(text); }

}  // namespace tarn
