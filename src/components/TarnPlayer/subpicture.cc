// The SPU run-length bitmap is decoded here rather than by libavcodec's
// dvdsub decoder because the menu highlight needs the raw 2-bit pixel values:
// inside the highlight rectangle a pixel takes the highlight's colour and
// contrast for its value instead of the subpicture's own.
#include "subpicture.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarnplayer {

namespace {

constexpr size_t kMaxKeptSubpictures = 8;
// Control sequence delays count 1024 ticks of the 90 kHz clock.
constexpr int64_t kDelayUnit = 1024;

struct DecodedSpu {
  int64_t packetPts = -1;
  int64_t start = -1;  // 90 kHz; -1 while it has no start command
  int64_t stop = -1;   // -1: until the next subpicture replaces it
  bool forcedStart = false;
  int x = 0, y = 0, width = 0, height = 0;
  uint8_t colour[4] = {0, 0, 0, 0};    // CLUT index for pixel value 0..3
  uint8_t contrast[4] = {0, 0, 0, 0};  // 0 transparent .. 15 opaque
  std::vector<uint8_t> pixels;         // width*height pixel values 0..3
  // Per line, the first and last column (area relative) holding a value other
  // than 0, so blending skips the clear background; first > last: none.
  std::vector<int> firstSet, lastSet;
};

// DVD pictures are at most 720x576; anything far larger is a damaged packet.
constexpr int kMaxAreaSide = 1024;

// Reads the nibble-coded runs of one field into every second line.
class RleReader {
 public:
  RleReader(const uint8_t* data, size_t end, size_t offset) : data_(data), end_(end), nibble_(offset * 2) {}

  bool Field(DecodedSpu& spu, int firstLine) {
    for (int line = firstLine; line < spu.height; line += 2) {
      uint8_t* row = spu.pixels.data() + static_cast<size_t>(line) * spu.width;
      int x = 0;
      while (x < spu.width) {
        unsigned code = Next();
        if (code < 0x4) {
          code = (code << 4) | Next();
          if (code < 0x10) {
            code = (code << 4) | Next();
            if (code < 0x40) code = (code << 4) | Next();
          }
        }
        if (exhausted_) return false;
        int run = static_cast<int>(code >> 2);
        if (run == 0 || x + run > spu.width) run = spu.width - x;  // 0: to the end of the line
        std::memset(row + x, static_cast<int>(code & 3), static_cast<size_t>(run));
        x += run;
      }
      nibble_ = (nibble_ + 1) & ~size_t{1};  // lines start on a byte
    }
    return true;
  }

 private:
  unsigned Next() {
    if (nibble_ / 2 >= end_) {
      exhausted_ = true;
      return 0xf;  // ends any run being read
    }
    uint8_t byte = data_[nibble_ / 2];
    unsigned value = (nibble_ & 1) ? (byte & 0xf) : (byte >> 4);
    ++nibble_;
    return value;
  }

  const uint8_t* data_;
  size_t end_;
  size_t nibble_;
  bool exhausted_ = false;
};

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Parses one whole SPU packet. False when it is malformed.
bool ParseSpu(const uint8_t* data, size_t size, int64_t pts, DecodedSpu& spu) {
  if (size < 4) return false;
  const size_t controlStart = Read16(data + 2);
  if (controlStart < 4 || controlStart + 4 > size) return false;
  size_t topOffset = 0, bottomOffset = 0;
  bool haveArea = false, haveOffsets = false;
  size_t sequence = controlStart;
  for (int guard = 0; guard < 64; ++guard) {
    if (sequence + 4 > size) return false;
    const int64_t when = pts + static_cast<int64_t>(Read16(data + sequence)) * kDelayUnit;
    const size_t next = Read16(data + sequence + 2);
    size_t i = sequence + 4;
    bool end = false;
    while (!end && i < size) {
      switch (data[i++]) {
        case 0x00:
          spu.start = when;
          spu.forcedStart = true;
          break;
        case 0x01:
          spu.start = when;
          spu.forcedStart = false;
          break;
        case 0x02:
          spu.stop = when;
          break;
        case 0x03:
          if (i + 2 > size) return false;
          for (int k = 0; k < 4; ++k) spu.colour[k] = (Read16(data + i) >> (4 * k)) & 0xf;
          i += 2;
          break;
        case 0x04:
          if (i + 2 > size) return false;
          for (int k = 0; k < 4; ++k) spu.contrast[k] = (Read16(data + i) >> (4 * k)) & 0xf;
          i += 2;
          break;
        case 0x05: {
          if (i + 6 > size) return false;
          const uint8_t* a = data + i;
          const int sx = (a[0] << 4) | (a[1] >> 4), ex = ((a[1] & 0xf) << 8) | a[2];
          const int sy = (a[3] << 4) | (a[4] >> 4), ey = ((a[4] & 0xf) << 8) | a[5];
          spu.x = sx;
          spu.y = sy;
          spu.width = ex - sx + 1;
          spu.height = ey - sy + 1;
          haveArea = spu.width > 0 && spu.height > 0 && spu.width <= kMaxAreaSide &&
                     spu.height <= kMaxAreaSide;
          i += 6;
          break;
        }
        case 0x06:
          if (i + 4 > size) return false;
          topOffset = Read16(data + i);
          bottomOffset = Read16(data + i + 2);
          haveOffsets = true;
          i += 4;
          break;
        case 0x07:  // colour and contrast changes inside the area: skipped
          if (i + 2 > size) return false;
          i += std::max<size_t>(Read16(data + i), 2);
          break;
        case 0xff:
          end = true;
          break;
        default:
          return false;  // unknown command: its length is unknown
      }
    }
    if (next <= sequence || next + 4 > size) break;  // the last sequence points at itself
    sequence = next;
  }
  if (!haveArea || !haveOffsets) return false;
  spu.pixels.assign(static_cast<size_t>(spu.width) * spu.height, 0);
  RleReader top(data, size, topOffset);
  RleReader bottom(data, size, bottomOffset);
  top.Field(spu, 0);
  bottom.Field(spu, 1);
  spu.firstSet.assign(spu.height, spu.width);
  spu.lastSet.assign(spu.height, -1);
  for (int line = 0; line < spu.height; ++line) {
    const uint8_t* row = spu.pixels.data() + static_cast<size_t>(line) * spu.width;
    for (int x = 0; x < spu.width; ++x) {
      if (row[x] == 0) continue;
      spu.firstSet[line] = std::min(spu.firstSet[line], x);
      spu.lastSet[line] = x;
    }
  }
  return true;  // a short bitmap keeps what it has: the rest stays transparent
}

}  // namespace

struct SubpictureDecoder::Impl {
  uint32_t clut[16] = {};
  std::vector<uint8_t> assembly;  // the SPU packet being put together
  int64_t assemblyPts = -1;
  std::vector<DecodedSpu> shown;  // by rising start time
  bool haveHighlight = false;
  Highlight highlight;

  void Finish() {
    DecodedSpu spu;
    if (assemblyPts >= 0 && ParseSpu(assembly.data(), assembly.size(), assemblyPts, spu) &&
        spu.start >= 0) {
      // Packets arrive in stream order: kept ones stamped later than this one
      // belong before a time stamp restart (a new VOB) and must not show again.
      spu.packetPts = assemblyPts;
      shown.erase(std::remove_if(shown.begin(), shown.end(),
                                 [&spu](const DecodedSpu& s) { return s.packetPts > spu.packetPts; }),
                  shown.end());
      shown.push_back(std::move(spu));
      if (shown.size() > kMaxKeptSubpictures) shown.erase(shown.begin());
    }
    DropAssembly();
  }

  void DropAssembly() {
    assembly.clear();
    assemblyPts = -1;
  }

  // The subpicture on screen at pts: the latest one started by then, unless stopped.
  const DecodedSpu* Visible(int64_t pts) {
    const DecodedSpu* best = nullptr;
    for (const DecodedSpu& spu : shown) {
      if (spu.start <= pts && (!best || spu.start >= best->start)) best = &spu;
    }
    if (best && best->stop >= 0 && pts >= best->stop) return nullptr;
    // Older subpictures can no longer show: drop them.
    if (best) {
      const int64_t bestStart = best->start;
      auto old = std::remove_if(shown.begin(), shown.end(),
                                [bestStart](const DecodedSpu& s) { return s.start < bestStart; });
      if (old != shown.end()) {
        shown.erase(old, shown.end());
        for (const DecodedSpu& s : shown)
          if (s.start == bestStart) best = &s;
      }
    }
    return best;
  }
};

SubpictureDecoder::SubpictureDecoder() : impl_(std::make_unique<Impl>()) {}
SubpictureDecoder::~SubpictureDecoder() = default;

void SubpictureDecoder::SetPalette(const uint32_t clut[16]) {
  if (clut) std::memcpy(impl_->clut, clut, sizeof impl_->clut);
}

void SubpictureDecoder::Decode(const uint8_t* data, size_t size, int64_t pts90k) {
  Impl& d = *impl_;
  if (!data || size == 0) return;
  // An SPU packet starts with a new PES packet and takes that packet's time
  // stamp. A packet left unfinished (lost PES packets on a damaged disc) gives
  // way to the next one stamped differently.
  if (!d.assembly.empty() && pts90k >= 0 && d.assemblyPts >= 0 && pts90k != d.assemblyPts) {
    d.assembly.clear();
  }
  if (d.assembly.empty() || d.assemblyPts < 0) d.assemblyPts = pts90k;
  while (size > 0 && d.assembly.size() < 2) {
    d.assembly.push_back(*data++);
    --size;
  }
  if (d.assembly.size() < 2) return;
  const size_t expected = Read16(d.assembly.data());  // the SPU packet's whole size
  if (expected < 4) {  // not an SPU packet start: drop it and wait for the next
    d.DropAssembly();
    return;
  }
  const size_t want = expected - d.assembly.size();
  d.assembly.insert(d.assembly.end(), data, data + std::min(size, want));
  if (d.assembly.size() >= expected) d.Finish();  // padding after the packet is dropped
}

void SubpictureDecoder::SetHighlight(const Highlight* highlight) {
  impl_->haveHighlight = highlight != nullptr;
  if (highlight) impl_->highlight = *highlight;
}

void SubpictureDecoder::Blend(uint8_t* picture, int width, int height, int64_t pts90k,
                              bool forced) {
  Impl& d = *impl_;
  if (!picture || width <= 0 || height <= 0) return;
  (void)forced;  // both display commands show; see the header
  const DecodedSpu* spu = d.Visible(pts90k);
  if (!spu) return;

  // Colour (Y, Cr, Cb) and contrast of every pixel value, outside and inside the highlight.
  struct Ink { int y, cr, cb, alpha; };
  Ink normal[4], lit[4];
  for (int k = 0; k < 4; ++k) {
    const uint32_t c = d.clut[spu->colour[k]];
    normal[k] = {static_cast<int>(c >> 16 & 0xff), static_cast<int>(c >> 8 & 0xff),
                 static_cast<int>(c & 0xff), spu->contrast[k]};
    const uint32_t h = d.clut[(d.highlight.palette >> (16 + 4 * k)) & 0xf];
    lit[k] = {static_cast<int>(h >> 16 & 0xff), static_cast<int>(h >> 8 & 0xff),
              static_cast<int>(h & 0xff), static_cast<int>((d.highlight.palette >> (4 * k)) & 0xf)};
  }
  const Highlight& hl = d.highlight;
  auto inkAt = [&](int px, int py) -> const Ink& {
    const uint8_t value = spu->pixels[static_cast<size_t>(py - spu->y) * spu->width + (px - spu->x)];
    if (d.haveHighlight && px >= hl.sx && px <= hl.ex && py >= hl.sy && py <= hl.ey) return lit[value];
    return normal[value];
  };

  const int x0 = std::max(spu->x, 0), x1 = std::min(spu->x + spu->width, width);
  const int y0 = std::max(spu->y, 0), y1 = std::min(spu->y + spu->height, height);
  if (x0 >= x1 || y0 >= y1) return;
  // The columns [first, last] of picture line py that can show anything.
  const bool clearShows = normal[0].alpha != 0;
  auto span = [&](int py, int& first, int& last) {
    const int line = py - spu->y;
    if (clearShows) {
      first = x0;
      last = x1 - 1;
      return;
    }
    first = spu->x + spu->firstSet[line];
    last = spu->x + spu->lastSet[line];
    if (d.haveHighlight && py >= hl.sy && py <= hl.ey && hl.sx <= hl.ex) {
      first = std::min(first, hl.sx);
      last = std::max(last, hl.ex);
    }
    first = std::max(first, x0);
    last = std::min(last, x1 - 1);
  };
  uint8_t* luma = picture;
  for (int py = y0; py < y1; ++py) {
    uint8_t* row = luma + static_cast<size_t>(py) * width;
    int first, last;
    span(py, first, last);
    for (int px = first; px <= last; ++px) {
      const Ink& ink = inkAt(px, py);
      if (ink.alpha == 0) continue;
      row[px] = static_cast<uint8_t>(row[px] + (ink.y - row[px]) * ink.alpha / 15);
    }
  }
  // Chroma: each sample mixes the four pixels it covers, weighted by their contrast.
  const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
  uint8_t* planeU = picture + static_cast<size_t>(width) * height;
  uint8_t* planeV = planeU + static_cast<size_t>(chromaWidth) * chromaHeight;
  for (int cy = y0 / 2; cy < (y1 + 1) / 2 && cy < chromaHeight; ++cy) {
    int first = x1, last = -1;
    for (int j = 0; j < 2; ++j) {
      const int py = 2 * cy + j;
      if (py < y0 || py >= y1) continue;
      int f, l;
      span(py, f, l);
      first = std::min(first, f);
      last = std::max(last, l);
    }
    for (int cx = first / 2; cx <= last / 2 && cx < chromaWidth; ++cx) {
      int alphaSum = 0, crSum = 0, cbSum = 0;
      for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 2; ++i) {
          const int px = 2 * cx + i, py = 2 * cy + j;
          if (px < x0 || px >= x1 || py < y0 || py >= y1) continue;
          const Ink& ink = inkAt(px, py);
          alphaSum += ink.alpha;
          crSum += ink.alpha * ink.cr;
          cbSum += ink.alpha * ink.cb;
        }
      }
      if (alphaSum == 0) continue;
      uint8_t& u = planeU[static_cast<size_t>(cy) * chromaWidth + cx];
      uint8_t& v = planeV[static_cast<size_t>(cy) * chromaWidth + cx];
      u = static_cast<uint8_t>(u + (cbSum - alphaSum * u) / 60);
      v = static_cast<uint8_t>(v + (crSum - alphaSum * v) / 60);
    }
  }
}

bool SubpictureDecoder::ForcedAt(int64_t pts90k) {
  const DecodedSpu* spu = impl_->Visible(pts90k);
  return spu && spu->forcedStart;
}

void SubpictureDecoder::Flush() {
  impl_->DropAssembly();
  impl_->shown.clear();
}

}  // namespace tarnplayer
