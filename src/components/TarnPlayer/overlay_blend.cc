#include "overlay_blend.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarnplayer {

namespace {

struct Yuv {
  int y, u, v;
};

// BT.601 limited range, as the decoded DVD pictures are.
Yuv ToYuv(uint32_t rgb) {
  const int r = rgb >> 16 & 0xff, g = rgb >> 8 & 0xff, b = rgb & 0xff;
  return {((66 * r + 129 * g + 25 * b + 128) >> 8) + 16,
          ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128,
          ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128};
}

}  // namespace

void BlendOverlay(uint8_t* picture, int width, int height, const uint32_t* argb, int overlayWidth,
                  int overlayHeight, uint32_t colorKey, float destLeft, float destTop,
                  float destRight, float destBottom, float alpha) {
  if (!picture || !argb || width <= 0 || height <= 0 || overlayWidth <= 0 || overlayHeight <= 0)
    return;
  if (!(alpha > 0.0f)) return;  // also rejects NaN
  alpha = std::min(alpha, 1.0f);
  const int left = std::clamp(static_cast<int>(std::lround(destLeft * width)), 0, width);
  const int right = std::clamp(static_cast<int>(std::lround(destRight * width)), 0, width);
  const int top = std::clamp(static_cast<int>(std::lround(destTop * height)), 0, height);
  const int bottom = std::clamp(static_cast<int>(std::lround(destBottom * height)), 0, height);
  if (left >= right || top >= bottom) return;
  // The destination rectangle as the overlay maps onto it (unclamped, for scaling).
  const double mapLeft = destLeft * width, mapTop = destTop * height;
  const double mapWidth = (destRight - destLeft) * width, mapHeight = (destBottom - destTop) * height;
  if (mapWidth <= 0 || mapHeight <= 0) return;

  const int weight = static_cast<int>(std::lround(alpha * 256));  // 0..256
  colorKey &= 0xffffff;
  // Source column of every picture column (nearest neighbour).
  std::vector<int> column(static_cast<size_t>(right - left));
  for (int x = left; x < right; ++x) {
    const int sx = static_cast<int>((x + 0.5 - mapLeft) * overlayWidth / mapWidth);
    column[x - left] = std::clamp(sx, 0, overlayWidth - 1);
  }
  auto sourceRow = [&](int y) {
    const int sy = static_cast<int>((y + 0.5 - mapTop) * overlayHeight / mapHeight);
    return argb + static_cast<size_t>(std::clamp(sy, 0, overlayHeight - 1)) * overlayWidth;
  };

  for (int y = top; y < bottom; ++y) {
    const uint32_t* src = sourceRow(y);
    uint8_t* row = picture + static_cast<size_t>(y) * width;
    for (int x = left; x < right; ++x) {
      const uint32_t p = src[column[x - left]] & 0xffffff;
      if (p == colorKey) continue;
      const int ink = ToYuv(p).y;
      row[x] = static_cast<uint8_t>(row[x] + ((ink - row[x]) * weight >> 8));
    }
  }
  // Chroma: a sample takes the mean colour of its opaque pixels, weighted by how many there are.
  const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
  uint8_t* planeU = picture + static_cast<size_t>(width) * height;
  uint8_t* planeV = planeU + static_cast<size_t>(chromaWidth) * chromaHeight;
  for (int cy = top / 2; cy < (bottom + 1) / 2 && cy < chromaHeight; ++cy) {
    for (int cx = left / 2; cx < (right + 1) / 2 && cx < chromaWidth; ++cx) {
      int count = 0, uSum = 0, vSum = 0;
      for (int j = 0; j < 2; ++j) {
        const int y = 2 * cy + j;
        if (y < top || y >= bottom) continue;
        const uint32_t* src = sourceRow(y);
        for (int i = 0; i < 2; ++i) {
          const int x = 2 * cx + i;
          if (x < left || x >= right) continue;
          const uint32_t p = src[column[x - left]] & 0xffffff;
          if (p == colorKey) continue;
          const Yuv c = ToYuv(p);
          ++count;
          uSum += c.u;
          vSum += c.v;
        }
      }
      if (count == 0) continue;
      const int w = weight * count / 4;
      uint8_t& u = planeU[static_cast<size_t>(cy) * chromaWidth + cx];
      uint8_t& v = planeV[static_cast<size_t>(cy) * chromaWidth + cx];
      u = static_cast<uint8_t>(u + ((uSum / count - u) * w >> 8));
      v = static_cast<uint8_t>(v + ((vSum / count - v) * w >> 8));
    }
  }
}

}  // namespace tarnplayer
