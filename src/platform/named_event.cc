#include "platform/named_event.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace tarn::platform {

struct AutoResetEvent::State {
  std::mutex mutex;
  std::condition_variable cv;
  bool signalled = false;
};

AutoResetEvent::AutoResetEvent() : state_(std::make_shared<State>()) {}

void AutoResetEvent::Set() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->signalled = true;
  state_->cv.notify_one();
}

void AutoResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->signalled = false;
}

bool AutoResetEvent::Wait(int timeoutMs) {
  std::unique_lock<std::mutex> lock(state_->mutex);
  auto ready = [&] { return state_->signalled; };
  if (timeoutMs < 0) {
    state_->cv.wait(lock, ready);
  } else if (!state_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return false;
  }
  state_->signalled = false;
  return true;
}

namespace {
std::mutex g_mutex;
std::map<std::string, std::shared_ptr<AutoResetEvent>>& Table() {
  static std::map<std::string, std::shared_ptr<AutoResetEvent>> t;
  return t;
}
}  // namespace

std::shared_ptr<AutoResetEvent> NamedEvents::Create(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto& slot = Table()[name];
  if (!slot) slot = std::make_shared<AutoResetEvent>();
  return slot;
}

std::shared_ptr<AutoResetEvent> NamedEvents::Open(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = Table().find(name);
  return it == Table().end() ? nullptr : it->second;
}

void NamedEvents::Remove(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Table().erase(name);
}

}  // namespace tarn::platform
