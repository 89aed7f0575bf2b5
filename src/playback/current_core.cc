#include "playback/current_core.h"

#include <atomic>

namespace tarn {
namespace {
std::atomic<CDvdMpcCore*> g_core{nullptr};
std::atomic<CVirtualClock*> g_clock{nullptr};
}  // namespace

CDvdMpcCore* CurrentCore() { return g_core.load(std::memory_order_acquire); }
void SetCurrentCore(CDvdMpcCore* core) { g_core.store(core, std::memory_order_release); }
CVirtualClock* CurrentClock() { return g_clock.load(std::memory_order_acquire); }
void SetCurrentClock(CVirtualClock* clock) { g_clock.store(clock, std::memory_order_release); }

}  // namespace tarn
