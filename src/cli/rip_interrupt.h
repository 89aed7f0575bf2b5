#pragma once
// Ctrl-C (and SIGTERM) during "rip": the first one is the user's stop of the
// batch, run on the window's thread; a second one ends the program.
#include <atomic>
#include <functional>
#include <thread>

namespace tarn::platform {
class MessageQueue;
}

namespace tarn::cli {

class InterruptWatcher {
 public:
  // `onInterrupt` runs once, on the thread that owns `window`.
  InterruptWatcher(const platform::MessageQueue& window, std::function<void()> onInterrupt);
  ~InterruptWatcher();  // handles the window's messages while the watcher ends
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

 private:
  std::atomic<bool> quit_{false};
  std::atomic<bool> calling_{false};
  std::thread thread_;
};

}  // namespace tarn::cli
