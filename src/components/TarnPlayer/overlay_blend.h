// Blending of the host's ARGB overlay bitmap (the crop frame) over pictures.
#ifndef TARN_COMPONENTS_TARNPLAYER_OVERLAY_BLEND_H
#define TARN_COMPONENTS_TARNPLAYER_OVERLAY_BLEND_H

#include <cstdint>

namespace tarnplayer {

// Blends a 32-bit ARGB overlay (the crop frame) over a planar 4:2:0 picture: pixels equal to
// colorKey (0x00RRGGBB, alpha ignored) are transparent, the rest is mixed with `alpha` (0..1),
// scaled into the normalised destination rectangle of the picture.
void BlendOverlay(uint8_t* picture, int width, int height, const uint32_t* argb, int overlayWidth,
                  int overlayHeight, uint32_t colorKey, float destLeft, float destTop,
                  float destRight, float destBottom, float alpha);

}  // namespace tarnplayer

#endif  // TARN_COMPONENTS_TARNPLAYER_OVERLAY_BLEND_H
