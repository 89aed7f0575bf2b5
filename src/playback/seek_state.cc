#include "playback/seek_state.h"

namespace tarn {

std::atomic<int32_t>& SeekPending() {
  static std::atomic<int32_t> pending{0};
  return pending;
}

}  // namespace tarn
