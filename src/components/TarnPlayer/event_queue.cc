#include "event_queue.h"

#include <chrono>

namespace tarnplayer {

void EventQueue::Push(int32_t code, intptr_t param1, intptr_t param2) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({code, param1, param2});
  }
  arrived_.notify_all();
  std::lock_guard<std::mutex> lock(notifyMutex_);
  if (notify_) notify_(context_, message_, param_);
}

HRESULT EventQueue::Get(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs) {
  if (!code || !param1 || !param2) return E_POINTER;
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [this] { return !events_.empty(); };
  if (timeoutMs < 0) {
    arrived_.wait(lock, ready);
  } else if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return E_ABORT;
  }
  EngineEvent event = events_.front();
  events_.pop_front();
  *code = event.code;
  *param1 = event.param1;
  *param2 = event.param2;
  return S_OK;
}

void EventQueue::SetNotify(EventNotifyFn fn, void* context, uint32_t message, intptr_t param) {
  bool waiting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting = !events_.empty();
  }
  std::lock_guard<std::mutex> lock(notifyMutex_);
  notify_ = fn;
  context_ = context;
  message_ = message;
  param_ = param;
  if (notify_ && waiting) notify_(context_, message_, param_);
}

void EventQueue::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
}

}  // namespace tarnplayer
