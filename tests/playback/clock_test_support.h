#pragma once
// Small helpers shared by the clock tests: an advise event that can be
// waited for, a tick counter the test moves by hand, and a published dummy
// core for the clock's "is there a current core" checks.
#include <atomic>
#include <cstdint>
#include <functional>

#include "TarnPlayer.h"
#include "platform/named_event.h"
#include "playback/current_core.h"

namespace tarn::test {

class TestAdviseEvent : public tarnplayer::IAdviseEvent {
 public:
  void Set() override {
    ++fired;
    signal.Set();
  }
  // Waits generously; the tests only ask whether it fired at all.
  bool WaitFired() { return signal.Wait(10000); }

  std::atomic<int> fired{0};
  platform::AutoResetEvent signal;
};

// A millisecond counter that moves only when the test says so.
struct FakeTicks {
  std::atomic<uint32_t> now{1000};
  std::function<uint32_t()> Source() {
    return [this] { return now.load(); };
  }
};

// Publishes a stand-in core pointer (the clock only tests it for null) and
// clears both published pointers when the test ends.
class PublishedCore {
 public:
  PublishedCore() { SetCurrentCore(reinterpret_cast<CDvdMpcCore*>(&m_storage)); }
  ~PublishedCore() {
    SetCurrentCore(nullptr);
    SetCurrentClock(nullptr);
  }

 private:
  int m_storage = 0;
};

}  // namespace tarn::test
