// The graph's event queue behind IMediaEventEx: events wait here until the
// host fetches them; whenever one is added the host's notify function is
// called so it can post its window message.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "TarnPlayer.h"

namespace tarnplayer {

struct EngineEvent {
  int32_t code = 0;
  intptr_t param1 = 0;
  intptr_t param2 = 0;
};

class EventQueue {
 public:
  void Push(int32_t code, intptr_t param1 = 0, intptr_t param2 = 0);
  // E_ABORT when nothing arrived within timeoutMs (negative: wait forever).
  HRESULT Get(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs);
  void SetNotify(EventNotifyFn fn, void* context, uint32_t message, intptr_t param);
  void Clear();

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<EngineEvent> events_;
  // Notifications are sent outside mutex_, under notifyMutex_, so a
  // SetNotify(null) that returns guarantees no call to the old function.
  std::mutex notifyMutex_;
  EventNotifyFn notify_ = nullptr;
  void* context_ = nullptr;
  uint32_t message_ = 0;
  intptr_t param_ = 0;
};

}  // namespace tarnplayer
