// The interface objects TarnOpenMedia hands out. They all belong to one
// PlayerGraph and forward to its Engine; their reference counts only say
// who still holds them, the graph itself is torn down by TarnCloseMedia.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "TarnPlayer.h"
#include "engine.h"

namespace tarnplayer {

template <typename Interface>
class GraphObject : public Interface {
 public:
  explicit GraphObject(Engine& engine) : engine_(engine) {}
  unsigned long AddRef() override { return ++references_; }
  unsigned long Release() override {
    unsigned long left = references_.load();
    while (left > 0 && !references_.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0 ? left - 1 : 0;
  }

 protected:
  Engine& engine_;

 private:
  std::atomic<unsigned long> references_{0};
};

class PlayerGraph {
 public:
  PlayerGraph();
  ~PlayerGraph();
  bool Open(const std::string& path) { return engine_.Open(path); }
  Engine& GetEngine() { return engine_; }

  IMediaControl* Control();
  IMediaEventEx* Events();
  IVideoWindow* Window();
  IDvdControl2* DvdControl();
  IDvdInfo2* DvdInfo();
  IUnknownLike* Held();
  IMediaFilter* Filter();
  IBasicVideo* BasicVideo();
  IBasicAudio* BasicAudio();
  IVMRMixerBitmap9* MixerBitmap();

 private:
  Engine engine_;
  struct Objects;
  std::unique_ptr<Objects> objects_;
};

}  // namespace tarnplayer
