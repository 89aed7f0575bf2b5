#include "convert/core_crop.h"

namespace tarn {
namespace {

// Until a core offers its crop here, the conversion sees no crop.
class NoCoreCrop final : public CoreCropAccess {
 public:
  void SetCrop(const CoreCrop&) override {}
  CoreCrop GetCrop() override { return {}; }
};

}  // namespace

CoreCropAccess& CurrentCoreCrop() {
  static NoCoreCrop access;
  return access;
}

}  // namespace tarn
