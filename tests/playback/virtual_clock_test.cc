// The virtual clock's modes, its catch-up table and its jump to the next
// advise, on a tick counter the test moves by hand and a schedule without an
// advise thread.
#include "playback/virtual_clock.h"

#include <gtest/gtest.h>

#include "clock_test_support.h"

namespace tarn {
namespace {

using test::FakeTicks;
using test::PublishedCore;
using test::TestAdviseEvent;

class VirtualClockTest : public ::testing::Test {
 protected:
  VirtualClockTest() : clock(ticks.Source(), &schedule) {}

  // The clock in record mode right after a first frame report that moved
  // nothing, so the next reading creeps.
  int64_t EnterRecordMode() {
    EXPECT_EQ(clock.SetMode(CVirtualClock::kModeRecord), 1);
    const int64_t now = clock.GetPrivateTime();
    clock.AdjustToSample(now, 0);  // lag 0: no step, mode-changed cleared
    return now;
  }

  PublishedCore core;
  FakeTicks ticks;
  CAMSchedule schedule;
  CVirtualClock clock;
};

TEST_F(VirtualClockTest, NormalAndFastModesFollowTheTickCounter) {
  const int64_t start = clock.GetPrivateTime();
  EXPECT_EQ(start, 1000 * 10000);  // starts at the tick count
  ticks.now += 100;
  EXPECT_EQ(clock.GetPrivateTime() - start, 1000000);

  ASSERT_EQ(clock.SetMode(CVirtualClock::kModeFast), 1);
  EXPECT_EQ(clock.GetMode(), CVirtualClock::kModeFast);
  const int64_t fastStart = clock.GetPrivateTime();
  ticks.now += 250;
  EXPECT_EQ(clock.GetPrivateTime() - fastStart, 20000000);  // two seconds
  // Readings without ticks in between do not move it.
  EXPECT_EQ(clock.GetPrivateTime() - fastStart, 20000000);
}

TEST_F(VirtualClockTest, TheTickCounterMayWrap) {
  FakeTicks wrapping;
  wrapping.now = 0xFFFFFF00u;
  CAMSchedule own;
  CVirtualClock c(wrapping.Source(), &own);
  const int64_t start = c.GetPrivateTime();
  wrapping.now += 0x200;  // wraps past 0
  EXPECT_EQ(c.GetPrivateTime() - start, 0x200 * 10000);
}

TEST_F(VirtualClockTest, RecordModeFollowsRealTimeUntilTheFirstFrame) {
  ASSERT_EQ(clock.SetMode(CVirtualClock::kModeRecord), 1);
  const int64_t start = clock.GetPrivateTime();
  ticks.now += 40;
  EXPECT_EQ(clock.GetPrivateTime() - start, 400000);
  ticks.now += 40;
  EXPECT_EQ(clock.GetPrivateTime() - start, 800000);
}

TEST_F(VirtualClockTest, RecordModeCreepsCoarseThenFine) {
  int64_t previous = EnterRecordMode();
  ticks.now += 5000;  // real time no longer matters
  const int64_t expected[] = {1000, 1000, 1000, 1000, 1000, 100, 100};
  for (int64_t step : expected) {
    const int64_t now = clock.GetPrivateTime();
    EXPECT_EQ(now - previous, step);
    previous = now;
  }
  // A frame report starts the coarse steps again.
  clock.AdjustToSample(previous, 0);
  EXPECT_EQ(clock.GetPrivateTime() - previous, 1000);
}

TEST_F(VirtualClockTest, FrameReportsPullTheClockByTheLagTable) {
  struct Case {
    int64_t lag;
    int64_t move;  // step plus the extra 250,000 from steps of 50,000 on
    bool behind;
  } cases[] = {
      {3500000, 950000, true},  {1000001, 950000, true}, {1000000, 950000, false}, {900000, 850000, false},
      {800000, 750000, false},  {700000, 650000, false}, {600000, 550000, false},  {500000, 450000, false},
      {450000, 450000, false},  {400000, 350000, false}, {300000, 300000, false},  {200001, 300000, false},
      {200000, 0, false},       {0, 0, false},           {-5000000, 0, false},
  };
  for (const Case& c : cases) {
    const int64_t before = EnterRecordMode();
    clock.AdjustToSample(before + c.lag - 1234, 1234);  // the due time is stream time + frame start
    const int64_t after = clock.GetPrivateTime();
    if (c.behind) {
      // Behind: real time rules until the next report, so a reading without ticks adds nothing.
      EXPECT_EQ(after - before, c.move) << c.lag;
      ticks.now += 10;
      EXPECT_EQ(clock.GetPrivateTime() - after, 100000) << c.lag;
    } else {
      EXPECT_EQ(after - before, c.move + 1000) << c.lag;  // plus one creep step
    }
  }
}

TEST_F(VirtualClockTest, FrameReportsOutsideRecordModeChangeNothing) {
  const int64_t before = clock.GetPrivateTime();
  clock.AdjustToSample(before + 3500000, 0);
  EXPECT_EQ(clock.GetPrivateTime(), before);
}

TEST_F(VirtualClockTest, FrameReportsWakeTheAdviseThreadForLargeSteps) {
  TestAdviseEvent event;
  schedule.AddAdvisePacket(clock.GetPrivateTime() + 100000000, &event);
  schedule.GetEvent().Wait(0);  // the new earliest advise signalled it
  const int64_t before = EnterRecordMode();
  EXPECT_FALSE(schedule.GetEvent().Wait(0));  // no step, no wake-up
  clock.AdjustToSample(before + 250000, 0);
  EXPECT_TRUE(schedule.GetEvent().Wait(0));
}

TEST_F(VirtualClockTest, JumpToNextAdviseOnlyWithinOneSecondAhead) {
  TestAdviseEvent event;
  clock.JumpToNextAdvise();  // nothing pending: nothing happens
  const int64_t now = clock.GetPrivateTime();
  EXPECT_EQ(clock.GetPrivateTime(), now);

  struct Case {
    int64_t ahead;
    bool jumps;
  } cases[] = {{5000000, true}, {10000000, true}, {15000000, false}, {-5000000, false}, {0, false}};
  for (const Case& c : cases) {
    CAMSchedule own;
    CVirtualClock fresh(ticks.Source(), &own);
    const int64_t start = fresh.GetPrivateTime();
    const uintptr_t cookie = own.AddAdvisePacket(start + c.ahead, &event);
    own.GetEvent().Wait(0);
    fresh.JumpToNextAdvise();
    if (c.jumps) {
      EXPECT_EQ(fresh.GetPrivateTime(), start + c.ahead + 50000) << c.ahead;
      EXPECT_TRUE(own.GetEvent().Wait(0)) << c.ahead;
    } else {
      EXPECT_EQ(fresh.GetPrivateTime(), start) << c.ahead;
      EXPECT_FALSE(own.GetEvent().Wait(0)) << c.ahead;
    }
    own.Unadvise(cookie);
  }
}

TEST(VirtualClockNoCoreTest, ModesNeedACurrentCore) {
  FakeTicks ticks;
  CAMSchedule schedule;
  CVirtualClock clock(ticks.Source(), &schedule);
  SetCurrentCore(nullptr);
  EXPECT_EQ(clock.SetMode(CVirtualClock::kModeFast), 0);
  EXPECT_EQ(clock.GetMode(), 0);
  {
    PublishedCore core;
    EXPECT_EQ(clock.GetMode(), CVirtualClock::kModeNormal);  // the refused SetMode changed nothing
    const int64_t start = clock.GetPrivateTime();
    ticks.now += 250;
    EXPECT_EQ(clock.GetPrivateTime() - start, 2500000);  // still real time
  }
}

}  // namespace
}  // namespace tarn
