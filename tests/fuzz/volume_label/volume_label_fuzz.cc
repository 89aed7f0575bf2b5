#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/volume_label.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input lands at sector 16, where the volume descriptors begin, and
  // again at the end of the image, where a second UDF anchor may sit.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string image(2048 * 16, '\0');
  image.append(input);
  image.append(input);
  tarn::platform::VolumeLabelFromImage(std::string_view(image));
  return 0;
}
