// The engine's small parts on their own: the event queue behind
// IMediaEventEx and the wait for a reference-clock time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "clock_waiter.h"
#include "event_queue.h"

namespace tarnplayer {
namespace {

struct Notifications {
  std::atomic<int> calls{0};
  std::atomic<uint32_t> message{0};
};

void Notify(void* context, uint32_t message, intptr_t) {
  auto* n = static_cast<Notifications*>(context);
  ++n->calls;
  n->message = message;
}

TEST(EventQueueTest, EventsComeInOrderAndTheHostIsToldWheneverSomeWait) {
  EventQueue queue;
  Notifications n;
  queue.Push(EC_DVD_DOMAIN_CHANGE, 4);
  queue.SetNotify(Notify, &n, 2024, 0);
  EXPECT_EQ(n.calls, 1);  // one was waiting already
  EXPECT_EQ(n.message, 2024u);
  queue.Push(EC_DVD_TITLE_CHANGE, 2);
  EXPECT_EQ(n.calls, 2);
  int32_t code;
  intptr_t p1, p2;
  ASSERT_EQ(queue.Get(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_DVD_DOMAIN_CHANGE);
  EXPECT_EQ(p1, 4);
  ASSERT_EQ(queue.Get(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_DVD_TITLE_CHANGE);
  EXPECT_EQ(queue.Get(&code, &p1, &p2, 0), E_ABORT);
  EXPECT_EQ(queue.Get(&code, &p1, &p2, 30), E_ABORT);
  EXPECT_EQ(queue.Get(nullptr, &p1, &p2, 0), E_POINTER);

  // A waiting Get returns as soon as an event arrives.
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    queue.Push(EC_DVD_STILL_ON, 1);
  });
  ASSERT_EQ(queue.Get(&code, &p1, &p2, 5000), S_OK);
  EXPECT_EQ(code, EC_DVD_STILL_ON);
  later.join();

  queue.SetNotify(nullptr, nullptr, 0, 0);
  int before = n.calls;
  queue.Push(EC_DVD_STILL_OFF);
  EXPECT_EQ(n.calls, before);  // no notification after it was stopped
}

// A clock whose time the test sets; it counts the advises still pending.
class StepClock : public IReferenceClock {
 public:
  unsigned long AddRef() override { return 1; }
  unsigned long Release() override { return 1; }
  HRESULT GetTime(int64_t* time) override {
    *time = now;
    return S_OK;
  }
  HRESULT AdviseTime(int64_t base, int64_t stream, IAdviseEvent* event, uintptr_t* cookie) override {
    std::lock_guard<std::mutex> lock(mutex);
    *cookie = next++;
    if (base + stream <= now) {
      event->Set();
    } else {
      pending[*cookie] = {base + stream, event};
    }
    return S_OK;
  }
  HRESULT Unadvise(uintptr_t cookie) override {
    std::lock_guard<std::mutex> lock(mutex);
    return pending.erase(cookie) ? S_OK : S_FALSE;
  }
  // Jumps to the earliest pending advise and fires it (the record mode's jump).
  bool JumpToNextAdvise() {
    std::lock_guard<std::mutex> lock(mutex);
    if (pending.empty()) return false;
    auto first = pending.begin();
    for (auto it = pending.begin(); it != pending.end(); ++it) {
      if (it->second.first < first->second.first) first = it;
    }
    now = first->second.first;
    first->second.second->Set();
    pending.erase(first);
    return true;
  }
  size_t Pending() {
    std::lock_guard<std::mutex> lock(mutex);
    return pending.size();
  }
  std::atomic<int64_t> now{1000};
  std::mutex mutex;
  std::map<uintptr_t, std::pair<int64_t, IAdviseEvent*>> pending;
  uintptr_t next = 1;
};

TEST(ClockWaiterTest, AWaitAlwaysHasAnAdvisePendingSoAJumpReleasesIt) {
  StepClock clock;
  ClockWaiter waiter;
  EXPECT_TRUE(waiter.WaitUntil(&clock, 500, [] { return false; }));  // due already
  std::atomic<bool> done{false};
  std::thread waiting([&] {
    EXPECT_TRUE(waiter.WaitUntil(&clock, 90000000, [] { return false; }));
    done = true;
  });
  // Whenever the jumper looks, the waiter's advise is there to jump to.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool jumped = false;
  while (!jumped && std::chrono::steady_clock::now() < deadline) {
    jumped = clock.JumpToNextAdvise();
    if (!jumped) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  waiting.join();
  EXPECT_TRUE(jumped);
  EXPECT_TRUE(done);
  EXPECT_EQ(clock.now, 90000000);
  EXPECT_EQ(clock.Pending(), 0u);
}

TEST(ClockWaiterTest, AnAbandonedOrInterruptedWaitLeavesNoAdviseBehind) {
  StepClock clock;
  ClockWaiter waiter;
  std::atomic<bool> giveUp{false};
  std::thread waiting([&] { EXPECT_FALSE(waiter.WaitUntil(&clock, 90000000, [&] { return giveUp.load(); })); });
  while (clock.Pending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  waiter.Interrupt();  // wakes it; it waits on with a fresh advise
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(clock.Pending(), 1u);
  giveUp = true;
  waiter.Interrupt();
  waiting.join();
  EXPECT_EQ(clock.Pending(), 0u);
}

}  // namespace
}  // namespace tarnplayer
