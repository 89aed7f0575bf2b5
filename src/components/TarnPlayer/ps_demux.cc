#include "ps_demux.h"

namespace tarnplayer {
namespace {

int64_t ReadPts(const uint8_t* p) {
  return (int64_t(p[0] & 0x0E) << 29) | (int64_t(p[1]) << 22) | (int64_t(p[2] & 0xFE) << 14) |
         (int64_t(p[3]) << 7) | (int64_t(p[4]) >> 1);
}

bool HasStartCode(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

// Classifies one complete PES packet body (after the 6-byte start and length).
void AddPes(uint8_t streamId, const uint8_t* body, size_t bodySize, std::vector<PesPayload>& out) {
  if (streamId != 0xE0 && streamId != 0xBD && (streamId < 0xC0 || streamId > 0xDF)) return;
  size_t headerSize = 0;
  int64_t pts = -1;
  if (bodySize >= 3 && (body[0] & 0xC0) == 0x80) {  // MPEG-2 PES header
    headerSize = 3 + size_t(body[2]);
    if (headerSize > bodySize) return;
    if ((body[1] & 0x80) && body[2] >= 5) pts = ReadPts(body + 3);
  } else {  // MPEG-1 style header: stuffing, optional buffer size, time stamps
    size_t i = 0;
    while (i < bodySize && body[i] == 0xFF) ++i;
    if (i < bodySize && (body[i] & 0xC0) == 0x40) i += 2;
    if (i >= bodySize) return;
    if ((body[i] & 0xF0) == 0x20) {
      if (i + 5 > bodySize) return;
      pts = ReadPts(body + i);
      i += 5;
    } else if ((body[i] & 0xF0) == 0x30) {
      if (i + 10 > bodySize) return;
      pts = ReadPts(body + i);
      i += 10;
    } else {
      ++i;  // 0x0F: no time stamps
    }
    headerSize = i;
  }
  const uint8_t* data = body + headerSize;
  size_t size = bodySize - headerSize;
  PesPayload payload;
  payload.pts90k = pts;
  if (streamId == 0xE0) {
    payload.kind = PesKind::Video;
  } else if (streamId >= 0xC0) {
    payload.kind = PesKind::MpegAudio;
    payload.stream = streamId & 0x07;
  } else {
    if (size < 1) return;
    uint8_t sub = data[0];
    ++data;
    --size;
    if (sub >= 0x20 && sub <= 0x3F) {
      payload.kind = PesKind::Subpicture;
      payload.stream = sub & 0x1F;
    } else if (sub >= 0x80 && sub <= 0x87) {
      payload.kind = PesKind::Ac3;
      payload.stream = sub & 0x07;
    } else if (sub >= 0x88 && sub <= 0x8F) {
      payload.kind = PesKind::Dts;
      payload.stream = sub & 0x07;
    } else if (sub >= 0xA0 && sub <= 0xA7) {
      payload.kind = PesKind::Lpcm;
      payload.stream = sub & 0x07;
    } else {
      return;
    }
  }
  payload.data = data;
  payload.size = size;
  out.push_back(payload);
}

}  // namespace

bool SplitPack(const uint8_t* pack, size_t size, std::vector<PesPayload>& out) {
  if (size < 14 || !HasStartCode(pack) || pack[3] != 0xBA) return false;
  size_t pos;
  if ((pack[4] & 0xC0) == 0x40) {  // MPEG-2 pack header
    pos = 14 + (pack[13] & 0x07);
  } else if ((pack[4] & 0xF0) == 0x20) {  // MPEG-1 pack header
    pos = 12;
  } else {
    return false;
  }
  while (pos + 6 <= size) {
    const uint8_t* p = pack + pos;
    if (!HasStartCode(p)) return false;
    uint8_t streamId = p[3];
    if (streamId == 0xB9) return true;  // program end
    if (streamId == 0xBB) {             // system header: skip
      size_t length = (size_t(p[4]) << 8) | p[5];
      pos += 6 + length;
      continue;
    }
    size_t length = (size_t(p[4]) << 8) | p[5];
    if (pos + 6 + length > size) return false;
    AddPes(streamId, p + 6, length, out);
    pos += 6 + length;
  }
  return true;
}

}  // namespace tarnplayer
