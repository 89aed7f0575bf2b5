#pragma once
// The encoder's 300-byte init block, built from EncoderSettings: fixed
// little-endian fields at fixed offsets, and for every text, callback and
// pointer field a 32-bit offset into the extension area right after the 300
// bytes (0 for an empty text or a null pointer).
#include <cstdint>
#include <vector>

#include "RIDirud.h"
#include "convert/encoder_settings.h"

namespace tarn {

struct EncoderCallbacks {
  FetchMediaInfoFn fetchMediaInfo = nullptr;
  SupplyVideoFrameFn supplyVideoFrame = nullptr;
  SupplyAudioFn supplyAudio = nullptr;
  StopTestFn stopTest = nullptr;
  EncoderLogFn encoderLog = nullptr;
};

class EncoderInitBlock {
 public:
  EncoderInitBlock(const EncoderSettings& settings, const EncoderCallbacks& callbacks);

  // The block with its extension; valid while this object lives, so it must
  // outlive the encode that was given it.
  const unsigned char* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }

 private:
  void PutInt(uint32_t offset, int32_t v);
  void PutFloat(uint32_t offset, float v);
  void PutDouble(uint32_t offset, double v);
  void PutText(uint32_t offset, const std::string& text);
  void PutPointer(uint32_t offset, const void* pointer);
  uint32_t Append(const void* data, size_t size, size_t alignment);

  std::vector<unsigned char> bytes_;
};

}  // namespace tarn
