#pragma once
// The output frame size of the job being converted, kept process-wide by
// the conversion thread (from the output geometry) for the HTML pages that
// post-processing writes beside FLV and SWF files.
#include <atomic>
#include <cstdint>

namespace tarn {

struct OutputFrame {
  std::atomic<int32_t> width{0};
  std::atomic<int32_t> height{0};
};

OutputFrame& CurrentOutputFrame();

}  // namespace tarn
