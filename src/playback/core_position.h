#pragma once
// What the engine's frame callbacks and the conversion thread know about the
// current playback core. The core publishes its position and picture
// attributes here on its window thread whenever they change, and clears the
// record when it is destroyed; readers on other threads read single aligned
// 32-bit values and never touch the core object itself, so a core destroyed
// on its window thread cannot be read after it is gone.
#include <atomic>
#include <cstdint>

namespace tarn {

struct CorePosition {
  std::atomic<int32_t> exists{0};       // 1 while a core is published
  std::atomic<uint32_t> title{0};       // the core's m_ulCurTitle
  std::atomic<int32_t> domain{0};       // 1 first play .. 5 stop
  std::atomic<int32_t> state{0};        // 0 closed, 2 stopped, 4 playing, 6 paused
  std::atomic<int32_t> width{0};        // source picture size
  std::atomic<int32_t> height{0};
  std::atomic<uint32_t> aspectX{0};     // display aspect, e.g. 4:3 or 16:9
  std::atomic<uint32_t> aspectY{0};
  std::atomic<uint32_t> eventSinkQueue{0};  // queue id of the core's host window, 0 when none
};

// The process-wide record.
CorePosition& CurrentCorePosition();

// Clears every field (exists := 0); the core calls it when it is destroyed.
void ClearCorePosition();

}  // namespace tarn
