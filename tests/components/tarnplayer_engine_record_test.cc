// The engine under the host's virtual clock in record mode: the clock only
// moves when captured pictures pull it (AdjustToSample) and when the encoder
// side, waiting for material, jumps it to the next advise. Playback must run
// on that alone, as fast as the capture side takes it.
#include <gtest/gtest.h>

#include "playback/current_core.h"
#include "playback/virtual_clock.h"
#include "tarnplayer_engine_harness.h"

namespace tarnplayer::test {
namespace {

constexpr int64_t kSecond = 10000000;

std::atomic<tarn::CVirtualClock*> g_clock{nullptr};

void AdjustClock(int64_t streamTime, int64_t start) {
  if (tarn::CVirtualClock* clock = g_clock.load()) clock->AdjustToSample(streamTime, start);
}

TEST_F(EngineTest, RecordModeClockDrivenByCaptureAndEncoderJumpsPlaysFasterThanRealTime) {
  // SetMode only asks whether a core exists; no core is needed otherwise.
  alignas(16) static char fakeCore[64];
  tarn::SetCurrentCore(reinterpret_cast<tarn::CDvdMpcCore*>(fakeCore));
  auto* clock = new tarn::CVirtualClock;  // the graph holds it and frees it at close
  ASSERT_TRUE(graph_.Open(library_, DiscPath("feature/")));
  opened_ = true;
  recorder_.events = graph_.events;
  ASSERT_EQ(graph_.filter->SetSyncSource(clock), S_OK);
  ASSERT_EQ(clock->SetMode(2), 1);
  g_clock = clock;
  recorder_.pictureHook = AdjustClock;
  ASSERT_EQ(library_.play(OnVideo, OnAudio, videoScratch_.data(), audioScratch_.data()), 1);
  ASSERT_EQ(graph_.dvd->PlayTitle(1, DVD_CMD_FLAG_Block, nullptr), S_OK);
  ASSERT_EQ(graph_.control->Run(), S_OK);

  // The encoder side: it always waits for material, so it keeps jumping.
  std::atomic<bool> encoding{true};
  std::thread encoder([&] {
    while (encoding) {
      clock->JumpToNextAdvise();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  auto begin = std::chrono::steady_clock::now();
  bool reached = WaitForPictureAt(20 * kSecond, 15000);
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  encoding = false;
  encoder.join();
  recorder_.pictureHook = nullptr;
  ASSERT_TRUE(reached);
  EXPECT_LT(wall, 10.0);  // 20 s of title in well under real time
  auto pictures = Pictures(recorder_.Snapshot());
  for (size_t i = 1; i < pictures.size(); ++i) ASSERT_EQ(pictures[i].start - pictures[i - 1].start, 400000);
  // Every picture came with the same stream time: no flush happened.
  EXPECT_EQ(pictures.front().streamTime, pictures.back().streamTime);
  Close();
  g_clock = nullptr;
  tarn::SetCurrentCore(nullptr);
}

}  // namespace
}  // namespace tarnplayer::test
