#include "playback/core_position.h"

namespace tarn {

CorePosition& CurrentCorePosition() {
  static CorePosition position;
  return position;
}

void ClearCorePosition() {
  CorePosition& p = CurrentCorePosition();
  p.exists = 0;
  p.title = 0;
  p.domain = 0;
  p.state = 0;
  p.width = 0;
  p.height = 0;
  p.aspectX = 0;
  p.aspectY = 0;
  p.eventSinkQueue = 0;
}

}  // namespace tarn
