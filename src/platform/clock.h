#pragma once
#include <cstdint>

namespace tarn::platform {
// Milliseconds since an arbitrary start, wrapping at 2^32 like the process
// tick count the timing code was written against.
uint32_t TickCount();
}  // namespace tarn::platform
