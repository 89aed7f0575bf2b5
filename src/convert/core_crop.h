#pragma once
// The playback core's crop as the conversion thread reaches it: the crop the
// engine applies to the picture, in source pixels.
#include <cstdint>

namespace tarn {

struct CoreCrop {
  int32_t x = 0, y = 0, width = 0, height = 0;
};

class CoreCropAccess {
 public:
  virtual ~CoreCropAccess() = default;
  virtual void SetCrop(const CoreCrop& crop) = 0;
  virtual CoreCrop GetCrop() = 0;
};

// The current playback core's crop; all zeros (and setting does nothing)
// while no core exists.
CoreCropAccess& CurrentCoreCrop();

}  // namespace tarn
