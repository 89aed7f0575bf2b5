// DVD subpictures: assembles SPU packets from PES payloads, decodes them and
// blends the subtitle or menu (with the button highlight) into 4:2:0 pictures.
#ifndef TARN_COMPONENTS_TARNPLAYER_SUBPICTURE_H
#define TARN_COMPONENTS_TARNPLAYER_SUBPICTURE_H

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarnplayer {

// As libdvdnav's dvdnav_highlight_area_t gives them (palette: 4 colour nibbles, 4 contrast nibbles)
struct Highlight {
  int sx = 0, sy = 0, ex = 0, ey = 0;
  uint32_t palette = 0;
};

class SubpictureDecoder {
 public:
  SubpictureDecoder();
  ~SubpictureDecoder();
  SubpictureDecoder(const SubpictureDecoder&) = delete;
  SubpictureDecoder& operator=(const SubpictureDecoder&) = delete;

  void SetPalette(const uint32_t clut[16]);  // the program chain's colours as DVDNAV_SPU_CLUT_CHANGE gives them (0x00YYCrCb)
  // One PES payload after the substream id byte; assembles whole SPU packets across PES packets.
  void Decode(const uint8_t* data, size_t size, int64_t pts90k);
  void SetHighlight(const Highlight* highlight);  // null: no button highlighted
  // Blends what is visible at pts90k (the subtitle, and inside the highlight rectangle the
  // highlight colours and contrast) into a planar 4:2:0 picture. A menu's subpicture is shown
  // when `forced` is true even if its display command is the forced kind.
  // Every subpicture started by either display command (normal or forced) shows while it is
  // on screen; the caller decides whether subpictures show at all (subtitles on, or a menu).
  void Blend(uint8_t* picture, int width, int height, int64_t pts90k, bool forced);
  // True when the subpicture on screen at pts90k was started by the forced display
  // command: a disc shows such subpictures even while the user has subtitles off.
  bool ForcedAt(int64_t pts90k);
  void Flush();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnplayer

#endif  // TARN_COMPONENTS_TARNPLAYER_SUBPICTURE_H
