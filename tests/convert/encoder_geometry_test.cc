// The output geometry: frame, scaled picture and crop for both aspect
// options and every rule.
#include <gtest/gtest.h>

#include "convert/output_geometry.h"

namespace tarn {
namespace {

constexpr float k43 = 1.33333f;
constexpr float k169 = 1.7778f;
const CropRectangle kNoCrop{};
const CropRectangle kCrop704{8, 0, 712, 480};  // 704 x 480 at (8, 0)
const char* kKeep = "Keep original aspect rate";

struct Case {
  const char* name;
  float aspect;
  bool cropOn;
  int32_t w, h;
  CropRectangle crop;
  int32_t option;
  const char* size;
  const char* aspectValue;
  int32_t listIndex;
  const char* frame;
  const char* scaled;
  const char* cropText;
  int32_t frameW, frameH;
};

TEST(OutputGeometry, Rules) {
  const Case cases[] = {
      // Zoom to full screen (option 1).
      {"zoom original 4:3", k43, false, 720, 480, kNoCrop, 1, "Original", kKeep, 0, "640x480", "640x480", "", 640, 480},
      {"zoom original 16:9 keeps 486", k169, false, 720, 480, kNoCrop, 1, "Original", kKeep, 0, "864x486", "864x486", "", 864, 486},
      {"zoom original other aspect uses the source", 2.35f, false, 720, 480, kNoCrop, 1, "Original", kKeep, 0, "720x480", "720x480", "", 720, 480},
      {"zoom crop, source wider than display", k43, true, 720, 480, kCrop704, 1, "Original", kKeep, 0, "704x536", "704x536", "704:480:8:0", 704, 536},
      {"zoom crop, display wider than source", k169, true, 720, 480, kCrop704, 1, "Original", kKeep, 0, "836x480", "836x480", "704:480:8:0", 836, 480},
      {"zoom crop, display equals source", 1.5f, true, 720, 480, kCrop704, 1, "Original", kKeep, 0, "704x480", "704x480", "704:480:8:0", 704, 480},
      {"zoom sized with crop", k43, true, 720, 480, kCrop704, 1, "320x240", kKeep, 0, "320x240", "320x240", "704:480:8:0", 320, 240},
      {"zoom sized without crop", k169, false, 720, 480, kNoCrop, 1, "320x240", "4:3", 0, "320x240", "320x240", "", 320, 240},
      // Keep original aspect (option 0).
      {"audio-only profile", k43, true, 720, 480, kCrop704, 0, "None", kKeep, 300, "Original", "720x480", "", 720, 480},
      {"original keep 16:9 rounds down", k169, false, 720, 480, kNoCrop, 0, "Original", kKeep, 0, "864x484", "864x484", "", 864, 484},
      {"original keep 4:3", k43, false, 720, 480, kNoCrop, 0, "Original", kKeep, 0, "640x480", "640x480", "", 640, 480},
      {"original keep other aspect", 2.35f, false, 720, 480, kNoCrop, 0, "Original", kKeep, 0, "720x480", "720x480", "", 720, 480},
      {"sized keep 4:3 source", k43, false, 720, 480, kNoCrop, 0, "320x240", kKeep, 0, "320x240", "320x240", "", 320, 240},
      {"sized keep 16:9 letterbox", k169, false, 720, 480, kNoCrop, 0, "320x240", kKeep, 0, "320x240", "320x180", "", 320, 240},
      {"sized keep, aspect equals source, rounds up", 1.5f, false, 720, 480, kNoCrop, 0, "320x240", kKeep, 0, "320x240", "320x216", "", 320, 240},
      {"sized 16:9 target, pillar side", k169, false, 720, 480, kNoCrop, 0, "480x272", "16:9", 0, "480x272", "480x272", "", 480, 272},
      {"sized 4:3 target of a 16:9 picture", k169, false, 720, 480, kNoCrop, 0, "320x240", "4:3", 0, "320x240", "320x180", "", 320, 240},
      {"sized other target uses the display aspect, crop", k43, true, 720, 480, kCrop704, 0, "320x240", "Full", 0, "320x240", "316x240", "704:480:8:0", 320, 240},
      {"original 16:9 target on a 4:3 disc", k43, false, 720, 480, kNoCrop, 0, "Original", "16:9", 0, "640x480", "480x480", "", 640, 480},
      {"original keep with crop", k43, true, 720, 480, kCrop704, 0, "Original", kKeep, 0, "704x536", "704x536", "704:480:8:0", 704, 536},
      {"original 4:3 target, other aspect", 2.35f, false, 720, 480, kNoCrop, 0, "Original", "4:3", 0, "720x480", "720x272", "", 720, 480},
  };
  for (const Case& c : cases) {
    GeometryInputs in;
    in.displayAspect = c.aspect;
    in.cropOn = c.cropOn;
    in.sourceWidth = c.w;
    in.sourceHeight = c.h;
    in.crop = c.crop;
    in.videoAspectOption = c.option;
    in.profileSize = c.size;
    in.profileAspect = c.aspectValue;
    in.profileListIndex = c.listIndex;
    const OutputGeometryResult r = OutputGeometry(in);
    EXPECT_EQ(r.frameSize, c.frame) << c.name;
    EXPECT_EQ(r.scaledSize, c.scaled) << c.name;
    EXPECT_EQ(r.crop, c.cropText) << c.name;
    EXPECT_EQ(r.frameWidth, c.frameW) << c.name;
    EXPECT_EQ(r.frameHeight, c.frameH) << c.name;
  }
}

TEST(OutputGeometry, UnknownPictureGivesNoNegativeOrWildSizes) {
  GeometryInputs in;
  in.profileSize = "320x240";
  in.profileAspect = kKeep;
  for (int option : {0, 1}) {
    in.videoAspectOption = option;
    const OutputGeometryResult r = OutputGeometry(in);  // source 0 x 0, aspect 0
    EXPECT_EQ(r.frameWidth, 320);
    EXPECT_EQ(r.frameHeight, 240);
    EXPECT_NE(r.scaledSize.find('x'), std::string::npos);
    EXPECT_EQ(r.scaledSize.find('-'), std::string::npos) << r.scaledSize;
  }
}

TEST(OutputGeometry, ColonSizeForTheEncoder) {
  EXPECT_EQ(ColonSize("864x484"), "864:484");
  EXPECT_EQ(ColonSize("Original"), "Original");
}

}  // namespace
}  // namespace tarn
