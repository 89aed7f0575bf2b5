#include "convert/core_crop.h"

#include "playback/current_core.h"
#include "playback/dvd_mpc_core.h"

namespace tarn {
namespace {

// The crop record of the current core. The core keeps it as plain values
// that only the crop dialogs change, and they are closed while a job runs;
// the core itself stays until the conversion asks the window to close it.
class CurrentCoreCropAccess final : public CoreCropAccess {
 public:
  void SetCrop(const CoreCrop& crop) override {
    if (CDvdMpcCore* core = CurrentCore()) core->SetCrop(crop.x, crop.y, crop.width, crop.height);
  }
  CoreCrop GetCrop() override {
    CoreCrop crop;
    if (const CDvdMpcCore* core = CurrentCore()) core->GetCrop(&crop.x, &crop.y, &crop.width, &crop.height);
    return crop;
  }
};

}  // namespace

CoreCropAccess& CurrentCoreCrop() {
  static CurrentCoreCropAccess access;
  return access;
}

}  // namespace tarn
