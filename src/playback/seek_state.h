#pragma once
// The process-wide seek-pending flag: 1 while a title seek or the
// fast-forward to the main movie runs. Windows ignore their play and pause
// commands while it is set, and the audio capture callback records nothing.
#include <atomic>
#include <cstdint>

namespace tarn {

std::atomic<int32_t>& SeekPending();

}  // namespace tarn
