#pragma once
// Auto-reset events inside the process, optionally registered under a name
// so another part of the program can open the same event.
#include <memory>
#include <string>

namespace tarn::platform {

class AutoResetEvent {
 public:
  AutoResetEvent();
  void Set();
  void Reset();
  // Waits up to timeoutMs (negative: forever); true when signalled. A
  // successful wait clears the event.
  bool Wait(int timeoutMs);

 private:
  struct State;
  std::shared_ptr<State> state_;
  friend class NamedEvents;
};

class NamedEvents {
 public:
  // Creates the event under `name`, or returns the one that exists.
  static std::shared_ptr<AutoResetEvent> Create(const std::string& name);
  // The event registered under `name`, or null.
  static std::shared_ptr<AutoResetEvent> Open(const std::string& name);
  static void Remove(const std::string& name);
};

}  // namespace tarn::platform
