#pragma once
// Window-style message queues. A queue belongs to the thread that created it
// and has one handler, like a window procedure. Post() queues a message from
// any thread; Send() runs the handler on the owner thread and returns its
// result, waiting when called from another thread. While a thread waits in
// Send() it keeps handling messages sent to its own queues, so two threads
// that send to each other never deadlock. Several queues may share one
// thread (the GUI thread hosts every main window); each has its own id, which
// plays the part of a window thread id.
#include <cstdint>
#include <functional>
#include <memory>

namespace tarn::platform {

struct Message {
  uint32_t message = 0;
  intptr_t wparam = 0;
  intptr_t lparam = 0;
};

using QueueId = uint32_t;
using MessageHandler = std::function<intptr_t(const Message&)>;

struct QueueCore;

class MessageQueue {
 public:
  explicit MessageQueue(MessageHandler handler);
  ~MessageQueue();  // pending sends to this queue return 0
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  QueueId Id() const;
  bool Post(uint32_t message, intptr_t wparam = 0, intptr_t lparam = 0) const;
  intptr_t Send(uint32_t message, intptr_t wparam = 0, intptr_t lparam = 0) const;

  // Runs `fn` on the owner thread and waits for it: the way a worker thread
  // touches state that belongs to a window.
  void SendCall(const std::function<void()>& fn) const;

  // Called from any thread right after a message is queued for the owner
  // thread, so an event loop that is not ours (Qt) can schedule a pump.
  void SetWakeHook(std::function<void()> hook);

 private:
  std::shared_ptr<QueueCore> core_;
};

// Handles every message pending for the calling thread's queues: sent ones
// first, then the posted ones that were waiting when the pump began.
// Returns how many were handled.
int PumpMessages();

// Waits up to `timeoutMs` for a message for the calling thread; true when one
// is pending. Does not handle it.
bool WaitForMessage(int timeoutMs);

// Sleeps for `ms` while handling this thread's messages: the short waits of
// window and conversion threads.
void PumpingSleep(int ms);

// Thread messages: posts to the queue with that id; false when none lives.
bool PostToQueue(QueueId id, uint32_t message, intptr_t wparam = 0, intptr_t lparam = 0);
intptr_t SendToQueue(QueueId id, uint32_t message, intptr_t wparam = 0, intptr_t lparam = 0);

// Reserved message number of MessageQueue::SendCall.
inline constexpr uint32_t kCallMessage = 0x7FFF0001;

}  // namespace tarn::platform
