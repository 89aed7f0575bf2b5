#include "playback/am_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarn {
namespace {

// Records the order in which advises fire.
class OrderEvent : public tarnplayer::IAdviseEvent {
 public:
  OrderEvent(std::vector<int>* log, int id) : m_log(log), m_id(id) {}
  void Set() override { m_log->push_back(m_id); }

 private:
  std::vector<int>* m_log;
  int m_id;
};

TEST(AMScheduleTest, FiresDueAdvisesInTimeOrder) {
  std::vector<int> fired;
  OrderEvent a(&fired, 1), b(&fired, 2), c(&fired, 3), d(&fired, 4);
  CAMSchedule schedule;
  EXPECT_EQ(schedule.GetNextAdviseTime(), CAMSchedule::kNoAdvise);
  schedule.AddAdvisePacket(300, &c);
  schedule.AddAdvisePacket(100, &a);
  schedule.AddAdvisePacket(200, &b);
  schedule.AddAdvisePacket(300, &d);  // same time as c: after it
  EXPECT_EQ(schedule.GetAdviseCount(), 4u);
  EXPECT_EQ(schedule.GetNextAdviseTime(), 100);

  EXPECT_EQ(schedule.Advise(99), 100);
  EXPECT_TRUE(fired.empty());
  EXPECT_EQ(schedule.Advise(150), 200);
  EXPECT_EQ(fired, (std::vector<int>{1}));
  EXPECT_EQ(schedule.Advise(300), CAMSchedule::kNoAdvise);
  EXPECT_EQ(fired, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(schedule.GetAdviseCount(), 0u);
}

TEST(AMScheduleTest, UnadviseRemovesOnlyThatAdvise) {
  std::vector<int> fired;
  OrderEvent a(&fired, 1), b(&fired, 2);
  CAMSchedule schedule;
  const uintptr_t first = schedule.AddAdvisePacket(100, &a);
  const uintptr_t second = schedule.AddAdvisePacket(200, &b);
  EXPECT_NE(first, 0u);
  EXPECT_NE(first, second);
  EXPECT_TRUE(schedule.Unadvise(first));
  EXPECT_FALSE(schedule.Unadvise(first));
  EXPECT_EQ(schedule.GetNextAdviseTime(), 200);
  schedule.Advise(1000);
  EXPECT_EQ(fired, (std::vector<int>{2}));
  EXPECT_FALSE(schedule.Unadvise(second));  // fired already
}

TEST(AMScheduleTest, WakeUpEventSignalsANewEarliestAdvise) {
  std::vector<int> fired;
  OrderEvent a(&fired, 1);
  CAMSchedule schedule;
  schedule.AddAdvisePacket(200, &a);
  EXPECT_TRUE(schedule.GetEvent().Wait(0));
  schedule.AddAdvisePacket(300, &a);  // not earlier: the thread's wait covers it
  EXPECT_FALSE(schedule.GetEvent().Wait(0));
  schedule.AddAdvisePacket(100, &a);
  EXPECT_TRUE(schedule.GetEvent().Wait(0));
}

}  // namespace
}  // namespace tarn
