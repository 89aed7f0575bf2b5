#include "convert/output_frame.h"

namespace tarn {

OutputFrame& CurrentOutputFrame() {
  static OutputFrame frame;
  return frame;
}

}  // namespace tarn
