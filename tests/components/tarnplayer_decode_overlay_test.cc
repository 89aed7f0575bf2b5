// BlendOverlay: the crop frame (a red outline on a colour-keyed black
// background) over a picture: keyed pixels stay as they were, the rest mixes
// at the given opacity, placed in the normalised destination rectangle.
#include <gtest/gtest.h>

#include <vector>

#include "overlay_blend.h"

namespace tarnplayer {
namespace {

constexpr int kWidth = 64, kHeight = 48;
constexpr uint32_t kRed = 0xFFFF0000, kBlack = 0xFF000000;

std::vector<uint8_t> Picture() {
  std::vector<uint8_t> picture(kWidth * kHeight * 3 / 2, 128);
  std::fill(picture.begin(), picture.begin() + kWidth * kHeight, 100);
  return picture;
}

// A red one-pixel outline around a black inside.
std::vector<uint32_t> CropFrame(int width, int height) {
  std::vector<uint32_t> argb(static_cast<size_t>(width) * height, kBlack);
  for (int x = 0; x < width; ++x) argb[x] = argb[(height - 1) * width + x] = kRed;
  for (int y = 0; y < height; ++y) argb[y * width] = argb[y * width + width - 1] = kRed;
  return argb;
}

uint8_t Luma(const std::vector<uint8_t>& p, int x, int y) { return p[y * kWidth + x]; }
uint8_t ChromaV(const std::vector<uint8_t>& p, int cx, int cy) {
  return p[kWidth * kHeight + (kWidth / 2) * (kHeight / 2) + cy * (kWidth / 2) + cx];
}

TEST(BlendOverlay, KeyedPixelsStayAndTheFrameMixesAtItsOpacity) {
  // Same size as the picture, over the whole of it.
  std::vector<uint8_t> picture = Picture();
  const std::vector<uint32_t> frame = CropFrame(kWidth, kHeight);
  BlendOverlay(picture.data(), kWidth, kHeight, frame.data(), kWidth, kHeight, 0x000000, 0, 0, 1, 1, 0.5f);
  // Red in limited-range BT.601 is Y 82, Cr 240: half way from grey.
  EXPECT_EQ(Luma(picture, 0, 0), 91);
  EXPECT_EQ(Luma(picture, kWidth - 1, 20), 91);
  EXPECT_EQ(Luma(picture, 30, kHeight - 1), 91);
  for (int y = 1; y < kHeight - 1; ++y)
    for (int x = 1; x < kWidth - 1; ++x) ASSERT_EQ(Luma(picture, x, y), 100) << x << "," << y;
  // A chroma sample half covered by the line gets half the mix; inside, none.
  EXPECT_EQ(ChromaV(picture, 10, 0), 128 + (240 - 128) / 4);
  EXPECT_EQ(ChromaV(picture, 10, 10), 128);
}

struct PlacementCase {
  float left, top, right, bottom, alpha;
  int outlineX, outlineY;  // a pixel on the frame's outline, -1 when nothing shows
};

class BlendOverlayPlacement : public ::testing::TestWithParam<PlacementCase> {};

// A small frame bitmap is scaled into the rectangle; nothing outside it changes.
TEST_P(BlendOverlayPlacement, ScalesIntoTheRectangleOnly) {
  const PlacementCase& c = GetParam();
  std::vector<uint8_t> picture = Picture();
  const std::vector<uint32_t> frame = CropFrame(8, 6);
  BlendOverlay(picture.data(), kWidth, kHeight, frame.data(), 8, 6, 0x000000, c.left, c.top, c.right,
               c.bottom, c.alpha);
  const int x0 = static_cast<int>(c.left * kWidth), x1 = static_cast<int>(c.right * kWidth);
  const int y0 = static_cast<int>(c.top * kHeight), y1 = static_cast<int>(c.bottom * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (x >= x0 && x < x1 && y >= y0 && y < y1) continue;
      ASSERT_EQ(Luma(picture, x, y), 100) << x << "," << y;
    }
  }
  if (c.outlineX >= 0) {
    EXPECT_LT(Luma(picture, c.outlineX, c.outlineY), 100);
    EXPECT_EQ(Luma(picture, (x0 + x1) / 2, (y0 + y1) / 2), 100);  // the keyed inside
  } else {
    EXPECT_EQ(picture, Picture());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BlendOverlayPlacement,
                         ::testing::Values(PlacementCase{0.25f, 0.25f, 0.75f, 0.75f, 0.5f, 16, 12},
                                           PlacementCase{0, 0, 0.5f, 1, 1.0f, 31, 30},
                                           PlacementCase{0, 0, 1, 1, 0.0f, -1, -1},      // fully transparent
                                           PlacementCase{0.5f, 0.5f, 0.5f, 0.9f, 0.5f, -1, -1}));  // empty

TEST(BlendOverlay, IgnoresAlphaOfTheKeyAndBadArguments) {
  std::vector<uint8_t> picture = Picture();
  // The key is compared without the alpha byte.
  const std::vector<uint32_t> keyed(kWidth * kHeight, 0x00123456);
  BlendOverlay(picture.data(), kWidth, kHeight, keyed.data(), kWidth, kHeight, 0xFF123456, 0, 0, 1, 1, 1.0f);
  EXPECT_EQ(picture, Picture());
  BlendOverlay(picture.data(), kWidth, kHeight, nullptr, kWidth, kHeight, 0, 0, 0, 1, 1, 1.0f);
  BlendOverlay(picture.data(), kWidth, kHeight, keyed.data(), 0, kHeight, 0, 0, 0, 1, 1, 1.0f);
  EXPECT_EQ(picture, Picture());
}

}  // namespace
}  // namespace tarnplayer
