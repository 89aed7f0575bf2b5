#include "clock_waiter.h"

#include <chrono>

namespace tarnplayer {

void ClockWaiter::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  signalled_.notify_all();
}

bool ClockWaiter::WaitUntil(IReferenceClock* clock, int64_t due,
                            const std::function<bool()>& abandon) {
  while (true) {
    if (abandon()) return false;
    int64_t now = 0;
    if (!clock || !Succeeded(clock->GetTime(&now)) || now >= due) return true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      set_ = false;
    }
    uintptr_t cookie = 0;
    if (!Succeeded(clock->AdviseTime(0, due, this, &cookie))) return true;
    // The advise stays pending for the whole wait, so a clock that jumps to
    // its next advise finds it; it is taken back only when the wait is given up.
    while (true) {
      bool fired;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        fired = signalled_.wait_for(lock, std::chrono::milliseconds(20), [this] { return set_; });
      }
      if (fired || abandon()) break;
    }
    // Fired advises are gone already; one still pending (an interrupt, or
    // the wait given up) is taken back, so none outlives the wait.
    clock->Unadvise(cookie);
  }
}

}  // namespace tarnplayer
