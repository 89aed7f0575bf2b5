#include "cli/rip_interrupt.h"

#include <csignal>
#include <chrono>

#include "platform/message_queue.h"

namespace tarn::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnSignal(int signal) {
  g_interrupted = 1;
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(signal, &fallback, nullptr);  // a second one ends the program
}

void Install(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

InterruptWatcher::InterruptWatcher(const platform::MessageQueue& window, std::function<void()> onInterrupt) {
  g_interrupted = 0;
  Install(&OnSignal);
  thread_ = std::thread([this, &window, onInterrupt = std::move(onInterrupt)] {
    while (!quit_) {
      if (g_interrupted) {
        calling_ = true;
        if (!quit_) window.SendCall(onInterrupt);
        calling_ = false;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
}

InterruptWatcher::~InterruptWatcher() {
  quit_ = true;
  while (calling_) platform::PumpingSleep(10);
  thread_.join();
  Install(SIG_DFL);
}

}  // namespace tarn::cli
