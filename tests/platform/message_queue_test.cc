#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tarn::platform {
namespace {

// A thread that owns a queue and pumps it until told to stop, like a window
// thread.
class PumpThread {
 public:
  explicit PumpThread(MessageHandler handler) {
    thread_ = std::thread([this, h = std::move(handler)]() mutable {
      MessageQueue q(std::move(h));
      queue_ = &q;
      ready_ = true;
      while (!stop_) {
        if (WaitForMessage(10)) PumpMessages();
      }
      queue_ = nullptr;
    });
    while (!ready_) std::this_thread::yield();
  }
  ~PumpThread() {
    stop_ = true;
    thread_.join();
  }
  MessageQueue& queue() { return *queue_; }

 private:
  std::thread thread_;
  std::atomic<bool> ready_{false}, stop_{false};
  MessageQueue* queue_ = nullptr;
};

TEST(MessageQueue, SendFromAnotherThreadRunsOnOwnerAndReturnsResult) {
  std::thread::id handledOn;
  PumpThread window([&](const Message& m) -> intptr_t {
    handledOn = std::this_thread::get_id();
    return m.wparam * 10 + m.lparam;
  });
  std::thread::id sender = std::this_thread::get_id();
  EXPECT_EQ(window.queue().Send(1200, 4, 2), 42);
  EXPECT_NE(handledOn, sender);
}

TEST(MessageQueue, SendOnOwnThreadCallsHandlerDirectly) {
  int calls = 0;
  MessageQueue q([&](const Message&) -> intptr_t { return ++calls; });
  EXPECT_EQ(q.Send(1), 1);
  EXPECT_EQ(calls, 1);
}

TEST(MessageQueue, WaitingSenderHandlesMessagesSentToItsOwnQueue) {
  // The worker's queue lives on this thread; the window, while handling our
  // send, sends back to us. Without nested handling this deadlocks.
  std::vector<int> order;
  MessageQueue mine([&](const Message& m) -> intptr_t {
    order.push_back(static_cast<int>(m.message));
    return 7;
  });
  const QueueId myId = mine.Id();
  PumpThread window([&](const Message& m) -> intptr_t {
    if (m.message == 1) return SendToQueue(myId, 2) + 1;
    return 0;
  });
  EXPECT_EQ(window.queue().Send(1), 8);
  EXPECT_EQ(order, std::vector<int>{2});
}

TEST(MessageQueue, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  std::atomic<int> handled{0};
  PumpThread a([&](const Message&) -> intptr_t { return ++handled; });
  QueueId aId = a.queue().Id();
  PumpThread b([&](const Message& m) -> intptr_t {
    if (m.message == 1) return SendToQueue(aId, 3);
    return 0;
  });
  QueueId bId = b.queue().Id();
  // From a's thread, send to b, which sends back to a while a waits.
  intptr_t result = -1;
  a.queue().SendCall([&] { result = SendToQueue(bId, 1); });
  EXPECT_EQ(result, 1);
}

TEST(MessageQueue, PostIsHandledByPumpInOrder) {
  std::vector<intptr_t> seen;
  MessageQueue q([&](const Message& m) -> intptr_t {
    seen.push_back(m.wparam);
    return 0;
  });
  std::thread poster([&] {
    for (int i = 0; i < 5; ++i) q.Post(100, i);
  });
  poster.join();
  EXPECT_TRUE(seen.empty());  // nothing runs until the owner pumps
  EXPECT_EQ(PumpMessages(), 5);
  EXPECT_EQ(seen, (std::vector<intptr_t>{0, 1, 2, 3, 4}));
}

TEST(MessageQueue, PumpHandlesOnlyPostsWaitingWhenItBegan) {
  int count = 0;
  MessageQueue* self = nullptr;
  MessageQueue q([&](const Message&) -> intptr_t {
    ++count;
    self->Post(1);  // reposting must not make the pump spin forever
    return 0;
  });
  self = &q;
  q.Post(1);
  EXPECT_EQ(PumpMessages(), 1);
  EXPECT_EQ(PumpMessages(), 1);
  EXPECT_EQ(count, 2);
}

TEST(MessageQueue, SendToDestroyedQueueReturnsZeroAndReleasesWaiters) {
  std::atomic<bool> entered{false};
  intptr_t result = -1;
  QueueId id = 0;
  std::thread owner([&] {
    auto q = std::make_unique<MessageQueue>([](const Message&) -> intptr_t { return 5; });
    id = q->Id();
    entered = true;
    // Let a sender queue up, then go away without pumping.
    while (!WaitForMessage(10)) {
    }
    q.reset();
  });
  while (!entered) std::this_thread::yield();
  result = SendToQueue(id, 9);
  owner.join();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(PostToQueue(id, 1));
  EXPECT_EQ(SendToQueue(id, 1), 0);
}

TEST(MessageQueue, PumpingSleepKeepsHandlingSends) {
  MessageQueue mine([](const Message& m) -> intptr_t { return m.wparam + 1; });
  QueueId id = mine.Id();
  intptr_t got = 0;
  std::thread sender([&] { got = SendToQueue(id, 1, 41); });
  PumpingSleep(200);
  sender.join();
  EXPECT_EQ(got, 42);
}

}  // namespace
}  // namespace tarn::platform
