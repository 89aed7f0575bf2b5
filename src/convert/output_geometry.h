#pragma once
// The picture geometry of one encode: the output frame, the size the picture
// is scaled to inside it, and the crop, from the source picture, its display
// aspect, the job's crop and the profile's size and aspect values.
#include <cstdint>
#include <string>

namespace tarn {

struct CropRectangle {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right = left + width
};

struct GeometryInputs {
  float displayAspect = 0.0f;  // the core's display aspect x / y
  bool cropOn = false;
  int32_t sourceWidth = 0, sourceHeight = 0;
  CropRectangle crop;
  int32_t videoAspectOption = 0;  // 0 keep original aspect, 1 zoom to full screen
  std::string profileSize;        // "Original" or "<w>x<h>"
  std::string profileAspect;      // "Keep original aspect rate", "16:9", "4:3", ...
  int32_t profileListIndex = 0;   // 300 and above: audio-only profiles
};

struct OutputGeometryResult {
  std::string frameSize;   // "%dx%d" or "Original"
  std::string scaledSize;  // "%dx%d"
  std::string crop;        // "%d:%d:%d:%d" (width, height, left, top) or empty
  int32_t frameWidth = 0, frameHeight = 0;
};

OutputGeometryResult OutputGeometry(const GeometryInputs& in);

// The encoder wants sizes as "w:h": every "x" becomes ":".
std::string ColonSize(std::string size);

}  // namespace tarn
