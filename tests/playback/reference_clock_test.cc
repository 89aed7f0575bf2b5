#include "playback/reference_clock.h"

#include <gtest/gtest.h>

#include <atomic>

#include "clock_test_support.h"

namespace tarn {
namespace {

using test::TestAdviseEvent;

// A clock whose time the test sets by hand.
class ManualClock : public CBaseReferenceClock {
 public:
  explicit ManualClock(bool* destroyed = nullptr) : m_destroyed(destroyed) {}
  ~ManualClock() override {
    StopAdviseThread();
    if (m_destroyed) *m_destroyed = true;
  }
  int64_t GetPrivateTime() override { return time.load(); }

  std::atomic<int64_t> time{1000};

 private:
  bool* m_destroyed;
};

TEST(BaseReferenceClockTest, GetTimeAndImmediateAdvise) {
  ManualClock clock;
  int64_t now = 0;
  EXPECT_EQ(clock.GetTime(&now), tarnplayer::S_OK);
  EXPECT_EQ(now, 1000);
  EXPECT_EQ(clock.GetTime(nullptr), tarnplayer::E_POINTER);

  TestAdviseEvent event;
  uintptr_t cookie = 0;
  EXPECT_EQ(clock.AdviseTime(600, 400, &event, &cookie), tarnplayer::S_OK);
  EXPECT_EQ(event.fired, 1);  // due already: signalled before the call returns
  EXPECT_EQ(clock.Unadvise(cookie), tarnplayer::S_FALSE);
  EXPECT_EQ(clock.AdviseTime(0, 1, nullptr, &cookie), tarnplayer::E_POINTER);
}

TEST(BaseReferenceClockTest, AdviseThreadFiresWhenTheClockGetsThere) {
  ManualClock clock;
  TestAdviseEvent dropped, kept;
  uintptr_t droppedCookie = 0, keptCookie = 0;
  ASSERT_EQ(clock.AdviseTime(1000, 5000, &dropped, &droppedCookie), tarnplayer::S_OK);
  ASSERT_EQ(clock.AdviseTime(1000, 9000, &kept, &keptCookie), tarnplayer::S_OK);
  EXPECT_EQ(clock.GetSchedule()->GetAdviseCount(), 2u);
  EXPECT_EQ(clock.GetSchedule()->GetNextAdviseTime(), 6000);
  EXPECT_EQ(clock.Unadvise(droppedCookie), tarnplayer::S_OK);

  clock.time = 20000;
  ASSERT_TRUE(kept.WaitFired());
  // Both were due at the same reading; only the removed one stays silent.
  EXPECT_EQ(dropped.fired, 0);
  EXPECT_EQ(kept.fired, 1);
  EXPECT_EQ(clock.GetSchedule()->GetAdviseCount(), 0u);
  EXPECT_EQ(clock.Unadvise(keptCookie), tarnplayer::S_FALSE);
}

TEST(BaseReferenceClockTest, LastReleaseDeletesWithAdvisesPending) {
  bool destroyed = false;
  TestAdviseEvent event;
  auto* clock = new ManualClock(&destroyed);
  EXPECT_EQ(clock->AddRef(), 1u);
  EXPECT_EQ(clock->AddRef(), 2u);
  uintptr_t cookie = 0;
  ASSERT_EQ(clock->AdviseTime(0, 1'000'000'000, &event, &cookie), tarnplayer::S_OK);
  EXPECT_EQ(clock->Release(), 1u);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(clock->Release(), 0u);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(event.fired, 0);
}

}  // namespace
}  // namespace tarn
