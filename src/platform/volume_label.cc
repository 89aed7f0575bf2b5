#include "platform/volume_label.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>

#include "platform/text_encoding.h"

namespace tarn::platform {
namespace {

constexpr size_t kSectorSize = 2048;
using Sector = std::array<uint8_t, kSectorSize>;

// Reads one whole sector by number; false when it is not there in full.
// sectorCount is the medium's size in sectors, 0 when unknown.
struct SectorSource {
  std::function<bool(uint64_t lba, Sector& out)> read;
  uint64_t sectorCount = 0;
};

// Bounds on how much of a damaged or hostile image is looked at.
constexpr uint32_t kIsoFirstDescriptor = 16;
constexpr uint32_t kIsoMaxDescriptors = 32;
constexpr uint32_t kUdfAnchorSector = 256;
constexpr uint32_t kUdfMaxSequenceSectors = 64;  // per extent
constexpr int kUdfMaxSequenceExtents = 4;         // main/reserve plus pointers

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t extra;
    if (b < 0x80) extra = 0;
    else if (b >= 0xC2 && b <= 0xDF) extra = 1;
    else if ((b & 0xF0) == 0xE0) extra = 2;
    else if (b >= 0xF0 && b <= 0xF4) extra = 3;
    else return false;
    if (i + extra >= s.size() && extra > 0) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

void TrimTrailingSpaces(std::string& s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
}

// ---- ISO 9660 -------------------------------------------------------------

// A-/d-characters are ASCII; some mastering tools write UTF-8 there, older
// ones a single-byte code page, read here as Latin-1.
std::string DecodeIsoIdentifier(const uint8_t* field, size_t size) {
  std::string raw;
  for (size_t i = 0; i < size && field[i] != 0; ++i) raw += static_cast<char>(field[i]);
  TrimTrailingSpaces(raw);
  if (IsValidUtf8(raw)) return raw;
  std::string out;
  for (unsigned char c : raw) AppendUtf8(out, c);
  return out;
}

// Joliet identifiers are UCS-2 big-endian.
std::string DecodeJolietIdentifier(const uint8_t* field, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t c = static_cast<char16_t>((field[i] << 8) | field[i + 1]);
    if (c == 0) break;
    text += c;
  }
  std::string out = Utf16ToUtf8(text);
  TrimTrailingSpaces(out);
  return out;
}

std::string ReadIsoLabel(const SectorSource& src) {
  std::string primary;
  std::string joliet;
  Sector s;
  for (uint32_t n = 0; n < kIsoMaxDescriptors; ++n) {
    if (!src.read(kIsoFirstDescriptor + n, s)) break;
    if (std::memcmp(s.data() + 1, "CD001", 5) != 0) break;
    uint8_t type = s[0];
    if (type == 255) break;  // set terminator
    if (type == 1 && primary.empty()) {
      primary = DecodeIsoIdentifier(s.data() + 40, 32);
    } else if (type == 2 && joliet.empty() && s[88] == '%' && s[89] == '/' &&
               (s[90] == '@' || s[90] == 'C' || s[90] == 'E')) {
      joliet = DecodeJolietIdentifier(s.data() + 40, 32);
    }
  }
  return joliet.empty() ? primary : joliet;
}

// ---- UDF ------------------------------------------------------------------

enum : uint16_t {
  kTagPrimaryVolume = 1,
  kTagAnchor = 2,
  kTagPointer = 3,
  kTagLogicalVolume = 6,
  kTagTerminating = 8,
};

// CRC-ITU-T (x^16 + x^12 + x^5 + 1, initial 0) over the descriptor body.
uint16_t DescriptorCrc(const uint8_t* data, size_t size) {
  uint16_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

// A descriptor tag is good when its checksum, body CRC and recorded
// location all agree; returns its identifier, or 0 when it is not.
uint16_t ValidTagId(const Sector& s, uint64_t lba) {
  uint8_t sum = 0;
  for (int i = 0; i < 16; ++i) {
    if (i != 4) sum = static_cast<uint8_t>(sum + s[i]);
  }
  if (sum != s[4]) return 0;
  if (Le32(s.data() + 12) != lba) return 0;
  uint16_t crcLength = Le16(s.data() + 10);
  if (crcLength > kSectorSize - 16) return 0;
  if (DescriptorCrc(s.data() + 16, crcLength) != Le16(s.data() + 8)) return 0;
  return Le16(s.data());
}

// A dstring: OSTA CS0 compressed unicode, the last byte holds the recorded
// length (compression byte included). Compression 8 is one byte per code
// point, 16 is big-endian UTF-16.
std::string DecodeDstring(const uint8_t* field, size_t size) {
  size_t length = field[size - 1];
  if (length == 0) return "";
  if (length > size - 1) length = size - 1;
  uint8_t compression = field[0];
  std::string out;
  if (compression == 8) {
    for (size_t i = 1; i < length && field[i] != 0; ++i) AppendUtf8(out, field[i]);
  } else if (compression == 16) {
    std::u16string text;
    for (size_t i = 1; i + 1 < length; i += 2) {
      char16_t c = static_cast<char16_t>((field[i] << 8) | field[i + 1]);
      if (c == 0) break;
      text += c;
    }
    out = Utf16ToUtf8(text);
  } else {
    return "";
  }
  TrimTrailingSpaces(out);
  return out;
}

struct UdfLabels {
  std::string logicalVolume;
  std::string primaryVolume;
  bool haveLogical = false;
  bool havePrimary = false;
  uint32_t logicalSeq = 0;
  uint32_t primarySeq = 0;
};

// Walks one volume descriptor sequence (following pointers a few times),
// keeping the descriptors with the highest sequence numbers.
void ReadUdfSequence(const SectorSource& src, uint32_t location, uint32_t lengthBytes, UdfLabels& labels) {
  Sector s;
  for (int extent = 0; extent < kUdfMaxSequenceExtents; ++extent) {
    uint32_t sectors = lengthBytes / kSectorSize;
    if (sectors > kUdfMaxSequenceSectors) sectors = kUdfMaxSequenceSectors;
    bool followed = false;
    for (uint32_t i = 0; i < sectors; ++i) {
      uint64_t lba = static_cast<uint64_t>(location) + i;
      if (!src.read(lba, s)) return;
      uint16_t id = ValidTagId(s, lba);
      if (id == 0 || id == kTagTerminating) return;
      uint32_t seq = Le32(s.data() + 16);
      if (id == kTagLogicalVolume && (!labels.haveLogical || seq >= labels.logicalSeq)) {
        labels.logicalVolume = DecodeDstring(s.data() + 84, 128);
        labels.logicalSeq = seq;
        labels.haveLogical = true;
      } else if (id == kTagPrimaryVolume && (!labels.havePrimary || seq >= labels.primarySeq)) {
        labels.primaryVolume = DecodeDstring(s.data() + 24, 32);
        labels.primarySeq = seq;
        labels.havePrimary = true;
      } else if (id == kTagPointer) {
        lengthBytes = Le32(s.data() + 20);
        location = Le32(s.data() + 24);
        followed = true;
        break;
      }
    }
    if (!followed) return;
  }
}

std::string ReadUdfLabel(const SectorSource& src) {
  // The anchor is at sector 256; a disc may also carry it at the last
  // sector or 256 sectors before it.
  std::array<uint64_t, 3> anchors = {kUdfAnchorSector, 0, 0};
  if (src.sectorCount > kUdfAnchorSector) {
    anchors[1] = src.sectorCount - 1;
    anchors[2] = src.sectorCount - 1 - kUdfAnchorSector;
  }
  Sector s;
  for (uint64_t anchor : anchors) {
    if (anchor == 0 || !src.read(anchor, s) || ValidTagId(s, anchor) != kTagAnchor) continue;
    // Main sequence first; the reserve copy only when the main one gave nothing.
    for (int copy = 0; copy < 2; ++copy) {
      const uint8_t* extent = s.data() + 16 + 8 * copy;
      UdfLabels labels;
      ReadUdfSequence(src, Le32(extent + 4), Le32(extent), labels);
      if (!labels.logicalVolume.empty()) return labels.logicalVolume;
      if (!labels.primaryVolume.empty()) return labels.primaryVolume;
    }
    return "";
  }
  return "";
}

std::string LabelFrom(const SectorSource& src) {
  std::string label = ReadUdfLabel(src);
  if (label.empty()) label = ReadIsoLabel(src);
  return label;
}

bool ReadWhole(int fd, uint64_t lba, Sector& out) {
  if (lba > UINT64_MAX / kSectorSize) return false;
  uint64_t offset = lba * kSectorSize;
  if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
  size_t done = 0;
  while (done < kSectorSize) {
    ssize_t n = ::pread(fd, out.data() + done, kSectorSize - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::string ReadVolumeLabel(const std::string& deviceOrImage) {
  // Only files and block devices are opened: opening a FIFO or some
  // character devices waits or has side effects.
  struct stat st;
  if (::stat(deviceOrImage.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) return "";
  // O_NONBLOCK lets an optical drive open without a medium (and without
  // waiting for one); the drive status below says whether a disc is there.
  FileDescriptor fd(::open(deviceOrImage.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return "";
  if (::fstat(fd.get(), &st) != 0) return "";
  SectorSource src;
  if (S_ISREG(st.st_mode)) {
    src.sectorCount = static_cast<uint64_t>(st.st_size) / kSectorSize;
  } else if (S_ISBLK(st.st_mode)) {
    int status = ::ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (status == CDS_NO_DISC || status == CDS_TRAY_OPEN || status == CDS_DRIVE_NOT_READY) return "";
    uint64_t bytes = 0;
    if (::ioctl(fd.get(), BLKGETSIZE64, &bytes) == 0) src.sectorCount = bytes / kSectorSize;
  } else {
    return "";
  }
  int raw = fd.get();
  src.read = [raw](uint64_t lba, Sector& out) { return ReadWhole(raw, lba, out); };
  return LabelFrom(src);
}

std::string VolumeLabelFromImage(std::string_view image) {
  SectorSource src;
  src.sectorCount = image.size() / kSectorSize;
  src.read = [image](uint64_t lba, Sector& out) {
    if (lba >= image.size() / kSectorSize) return false;
    std::memcpy(out.data(), image.data() + lba * kSectorSize, kSectorSize);
    return true;
  };
  return LabelFrom(src);
}

}  // namespace tarn::platform
