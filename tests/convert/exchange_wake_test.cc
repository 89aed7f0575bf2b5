// The exchange's wake-ups: the throttled engine goes on as soon as the
// encoder has taken the backlog below the throttle's lowest band, and a
// waiting side wakes when the other one stores or takes something.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "convert/frame_exchange.h"

namespace tarn {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class ExchangeWakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    x.Reset();
    picture.assign(16 * 16 * 3 / 2, 0x80);
    audio.assign(8000, 0);
  }
  // `pictures` pictures and as many 8000-byte audio units.
  void Fill(int pictures) {
    for (int i = 0; i < pictures; ++i) {
      ASSERT_TRUE(x.PutVideo(16, 16, picture.data(), i * 333667, 333667));
      ASSERT_TRUE(x.PutAudio(audio.data(), static_cast<int64_t>(audio.size()), i * 416667));
    }
  }

 public:  // the table of steps below acts on them
  FrameExchange x;
  std::vector<unsigned char> picture;
  std::vector<unsigned char> audio;
  std::vector<unsigned char> out = std::vector<unsigned char>(1 << 20);
};

TEST_F(ExchangeWakeTest, ThrottleSleepEndsWhenTheEncoderTakesTheBacklogBelowFour) {
  Fill(5);
  std::thread encoder([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // Audio alone stays at 5 units: the smaller backlog counts.
    ASSERT_TRUE(x.TakeVideo(out.data()));
    ASSERT_TRUE(x.TakeVideo(out.data()));
  });
  const auto start = Clock::now();
  x.SleepWhileBacklogged(5000);
  const int64_t slept = MsSince(start);
  encoder.join();
  EXPECT_GE(slept, 25);
  EXPECT_LT(slept, 2000);
  EXPECT_EQ(x.VideoCount(), 3);
}

TEST_F(ExchangeWakeTest, ThrottleSleepLastsItsTimeWhileTheBacklogStays) {
  Fill(4);
  const auto start = Clock::now();
  x.SleepWhileBacklogged(40);
  EXPECT_GE(MsSince(start), 39);
  // Nothing waits: a small backlog returns at once.
  ASSERT_TRUE(x.TakeVideo(out.data()));
  const auto again = Clock::now();
  x.SleepWhileBacklogged(5000);
  EXPECT_LT(MsSince(again), 1000);
}

TEST_F(ExchangeWakeTest, ThrottleUsesTheBacklogSleepUntilATestReplacesIt) {
  x.beginPts = 1;
  Fill(5);
  std::vector<int> recorded;
  x.SetSleeper([&](int ms) { recorded.push_back(ms); });
  EXPECT_EQ(x.Throttle(), 5);
  EXPECT_EQ(recorded, std::vector<int>{5});
  // Null brings the backlog sleep back: a long nominal sleep ends when the
  // encoder takes a picture.
  x.SetSleeper(nullptr);
  ASSERT_TRUE(x.TakeVideo(out.data()));  // 4 pictures, 5 units
  x.lastLevel = 5;
  x.extraDelay = 3000;
  std::thread encoder([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(x.TakeVideo(out.data()));
  });
  const auto start = Clock::now();
  EXPECT_EQ(x.Throttle(), 3000);
  EXPECT_LT(MsSince(start), 2000);
  encoder.join();
}

TEST_F(ExchangeWakeTest, WaitForChangeWakesOnEveryStoreAndTake) {
  struct Step {
    const char* what;
    void (*act)(ExchangeWakeTest&);
  };
  const Step steps[] = {
      {"picture stored", [](ExchangeWakeTest& t) { t.x.PutVideo(16, 16, t.picture.data(), 0, 333667); }},
      {"picture taken", [](ExchangeWakeTest& t) { t.x.TakeVideo(t.out.data()); }},
      {"audio stored", [](ExchangeWakeTest& t) { t.x.PutAudio(t.audio.data(), 8000, 0); }},
      {"audio taken", [](ExchangeWakeTest& t) { t.x.TakeAudio(t.out.data(), 2000); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const uint64_t seen = x.Changes();
    std::thread other([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      step.act(*this);
    });
    const auto start = Clock::now();
    EXPECT_TRUE(x.WaitForChange(seen, 5000));
    EXPECT_LT(MsSince(start), 2000);
    other.join();
  }
  // Nothing happens: the wait lasts its time and reports no change.
  const auto start = Clock::now();
  EXPECT_FALSE(x.WaitForChange(x.Changes(), 30));
  EXPECT_GE(MsSince(start), 29);
}

}  // namespace
}  // namespace tarn
