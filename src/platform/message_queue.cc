#include "platform/message_queue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace tarn::platform {

struct ThreadState;

struct SentItem {
  intptr_t result = 0;
  bool done = false;
  std::shared_ptr<ThreadState> sender;
};

struct Entry {
  std::shared_ptr<QueueCore> target;
  Message msg;
  std::shared_ptr<SentItem> item;  // null for posted messages
};

// Per OS thread: what is waiting for this thread's queues, and the lock and
// condition a sender on this thread waits with.
struct ThreadState {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<Entry> sent;
  std::deque<Entry> posted;
  std::thread::id owner = std::this_thread::get_id();
};

struct QueueCore {
  QueueId id = 0;
  MessageHandler handler;
  std::shared_ptr<ThreadState> thread;
  std::atomic<bool> alive{true};
  std::mutex hookMutex;
  std::function<void()> wakeHook;
};

namespace {

std::shared_ptr<ThreadState>& CurrentThreadState() {
  thread_local std::shared_ptr<ThreadState> state = std::make_shared<ThreadState>();
  return state;
}

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::map<QueueId, std::weak_ptr<QueueCore>>& Registry() {
  static std::map<QueueId, std::weak_ptr<QueueCore>> r;
  return r;
}
std::atomic<QueueId> g_nextId{1};

void Complete(const std::shared_ptr<SentItem>& item, intptr_t result) {
  std::lock_guard<std::mutex> lock(item->sender->mutex);
  item->result = result;
  item->done = true;
  item->sender->cv.notify_all();
}

void Dispatch(Entry& e) {
  intptr_t result = 0;
  if (e.target->alive.load()) result = e.target->handler(e.msg);
  if (e.item) Complete(e.item, result);
}

void Wake(const std::shared_ptr<QueueCore>& core) {
  core->thread->cv.notify_all();
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(core->hookMutex);
    hook = core->wakeHook;
  }
  if (hook) hook();
}

// Handles the sent messages pending for the calling thread.
int HandleSent(ThreadState& ts) {
  int handled = 0;
  for (;;) {
    Entry e;
    {
      std::lock_guard<std::mutex> lock(ts.mutex);
      if (ts.sent.empty()) return handled;
      e = std::move(ts.sent.front());
      ts.sent.pop_front();
    }
    Dispatch(e);
    ++handled;
  }
}

bool PostTo(const std::shared_ptr<QueueCore>& core, const Message& msg) {
  if (!core->alive.load()) return false;
  {
    std::lock_guard<std::mutex> lock(core->thread->mutex);
    core->thread->posted.push_back(Entry{core, msg, nullptr});
  }
  Wake(core);
  return true;
}

intptr_t SendTo(const std::shared_ptr<QueueCore>& core, const Message& msg) {
  if (!core->alive.load()) return 0;
  std::shared_ptr<ThreadState>& self = CurrentThreadState();
  if (core->thread == self) return core->handler(msg);

  auto item = std::make_shared<SentItem>();
  item->sender = self;
  {
    std::lock_guard<std::mutex> lock(core->thread->mutex);
    core->thread->sent.push_back(Entry{core, msg, item});
  }
  Wake(core);
  // Wait, handling what other threads send to this one meanwhile.
  for (;;) {
    std::unique_lock<std::mutex> lock(self->mutex);
    self->cv.wait(lock, [&] { return item->done || !self->sent.empty(); });
    if (item->done) return item->result;
    lock.unlock();
    HandleSent(*self);
  }
}

}  // namespace

MessageQueue::MessageQueue(MessageHandler handler) : core_(std::make_shared<QueueCore>()) {
  core_->id = g_nextId.fetch_add(1);
  // Calls sent with SendCall() run before the queue's own handler sees them.
  core_->handler = [h = std::move(handler)](const Message& m) -> intptr_t {
    if (m.message == kCallMessage) {
      (*reinterpret_cast<const std::function<void()>*>(m.lparam))();
      return 0;
    }
    return h ? h(m) : 0;
  };
  core_->thread = CurrentThreadState();
  std::lock_guard<std::mutex> lock(RegistryMutex());
  Registry()[core_->id] = core_;
}

MessageQueue::~MessageQueue() {
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().erase(core_->id);
  }
  core_->alive.store(false);
  // Release every sender that waits on this queue; drop its posted messages.
  std::deque<Entry> orphans;
  {
    std::lock_guard<std::mutex> lock(core_->thread->mutex);
    for (auto* list : {&core_->thread->sent, &core_->thread->posted}) {
      for (auto it = list->begin(); it != list->end();) {
        if (it->target == core_) {
          orphans.push_back(std::move(*it));
          it = list->erase(it);
        } else {
          ++it;
        }
      }
    }
  }
  for (Entry& e : orphans)
    if (e.item) Complete(e.item, 0);
}

QueueId MessageQueue::Id() const { return core_->id; }

bool MessageQueue::Post(uint32_t message, intptr_t wparam, intptr_t lparam) const {
  return PostTo(core_, Message{message, wparam, lparam});
}

intptr_t MessageQueue::Send(uint32_t message, intptr_t wparam, intptr_t lparam) const {
  return SendTo(core_, Message{message, wparam, lparam});
}

void MessageQueue::SendCall(const std::function<void()>& fn) const {
  if (core_->thread == CurrentThreadState()) {
    fn();
    return;
  }
  Send(kCallMessage, 0, reinterpret_cast<intptr_t>(&fn));
}

void MessageQueue::SetWakeHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(core_->hookMutex);
  core_->wakeHook = std::move(hook);
}

int PumpMessages() {
  ThreadState& ts = *CurrentThreadState();
  int handled = HandleSent(ts);
  size_t budget;
  {
    std::lock_guard<std::mutex> lock(ts.mutex);
    budget = ts.posted.size();
  }
  while (budget-- > 0) {
    Entry e;
    {
      std::lock_guard<std::mutex> lock(ts.mutex);
      if (ts.posted.empty()) break;
      e = std::move(ts.posted.front());
      ts.posted.pop_front();
    }
    Dispatch(e);
    ++handled;
    handled += HandleSent(ts);
  }
  return handled;
}

bool WaitForMessage(int timeoutMs) {
  ThreadState& ts = *CurrentThreadState();
  std::unique_lock<std::mutex> lock(ts.mutex);
  return ts.cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return !ts.sent.empty() || !ts.posted.empty(); });
}

void PumpingSleep(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  PumpMessages();
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    if (WaitForMessage(static_cast<int>(left.count()))) PumpMessages();
  }
}

namespace {
std::shared_ptr<QueueCore> Lookup(QueueId id) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  auto it = Registry().find(id);
  return it == Registry().end() ? nullptr : it->second.lock();
}
}  // namespace

bool PostToQueue(QueueId id, uint32_t message, intptr_t wparam, intptr_t lparam) {
  auto core = Lookup(id);
  return core && PostTo(core, Message{message, wparam, lparam});
}

intptr_t SendToQueue(QueueId id, uint32_t message, intptr_t wparam, intptr_t lparam) {
  auto core = Lookup(id);
  return core ? SendTo(core, Message{message, wparam, lparam}) : 0;
}

}  // namespace tarn::platform
