// Splits one 2048-byte MPEG-2 program-stream pack, as libdvdnav hands it
// out, into the PES payloads the decoders take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnplayer {

enum class PesKind { Video, Ac3, Dts, Lpcm, MpegAudio, Subpicture, Other };

struct PesPayload {
  PesKind kind = PesKind::Other;
  int stream = 0;              // audio or subpicture stream number (0..7 / 0..31)
  const uint8_t* data = nullptr;  // for private stream 1: after the substream id byte
  size_t size = 0;
  int64_t pts90k = -1;
};

// Appends the payloads of `pack` to `out`. False when the block is not a
// well-formed pack (garbage on a damaged disc); what parsed cleanly before
// the fault is still appended.
bool SplitPack(const uint8_t* pack, size_t size, std::vector<PesPayload>& out);

}  // namespace tarnplayer
