#include "platform/volume_label.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace tarn::platform {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr size_t kSector = 2048;

// ---- hand-built descriptors -------------------------------------------------

void Put16(std::string& img, size_t at, uint16_t v) {
  img[at] = static_cast<char>(v & 0xFF);
  img[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& img, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) img[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint16_t Crc(const std::string& img, size_t at, size_t size) {
  uint16_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc = static_cast<uint16_t>(crc ^ (static_cast<uint8_t>(img[at + i]) << 8));
    for (int b = 0; b < 8; ++b) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

// Writes a descriptor tag over a body already in place.
void SealTag(std::string& img, uint32_t lba, uint16_t id) {
  size_t at = lba * kSector;
  const uint16_t crcLength = 496;
  Put16(img, at, id);
  Put16(img, at + 2, 2);
  Put16(img, at + 6, 1);
  Put16(img, at + 8, Crc(img, at + 16, crcLength));
  Put16(img, at + 10, crcLength);
  Put32(img, at + 12, lba);
  uint8_t sum = 0;
  for (int i = 0; i < 16; ++i) {
    if (i != 4) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(img[at + i]));
  }
  img[at + 4] = static_cast<char>(sum);
}

std::string Dstring8(const std::string& latin1, size_t size) {
  std::string d(size, '\0');
  d[0] = 8;
  d.replace(1, latin1.size(), latin1);
  d[size - 1] = static_cast<char>(latin1.size() + 1);
  return d;
}

std::string Dstring16(const std::u16string& text, size_t size) {
  std::string d(size, '\0');
  d[0] = 16;
  for (size_t i = 0; i < text.size(); ++i) {
    d[1 + 2 * i] = static_cast<char>(text[i] >> 8);
    d[2 + 2 * i] = static_cast<char>(text[i] & 0xFF);
  }
  d[size - 1] = static_cast<char>(text.size() * 2 + 1);
  return d;
}

class Image {
 public:
  explicit Image(size_t sectors = 300) : bytes_(sectors * kSector, '\0') {}

  Image& Iso(const std::string& ident) {
    size_t at = 16 * kSector;
    bytes_[at] = 1;
    bytes_.replace(at + 1, 5, "CD001");
    bytes_[at + 6] = 1;
    std::string padded = ident + std::string(32 - ident.size(), ' ');
    bytes_.replace(at + 40, 32, padded);
    at = 17 * kSector;
    bytes_[at] = static_cast<char>(255);
    bytes_.replace(at + 1, 5, "CD001");
    bytes_[at + 6] = 1;
    return *this;
  }
  Image& Anchor(uint32_t lba, uint32_t vds, uint32_t sectors = 16) {
    Put32(bytes_, lba * kSector + 16, sectors * kSector);
    Put32(bytes_, lba * kSector + 20, vds);
    SealTag(bytes_, lba, 2);
    return *this;
  }
  Image& Lvd(uint32_t lba, uint32_t seq, const std::string& dstring) {
    Put32(bytes_, lba * kSector + 16, seq);
    bytes_.replace(lba * kSector + 84, 128, dstring);
    SealTag(bytes_, lba, 6);
    return *this;
  }
  Image& Pvd(uint32_t lba, uint32_t seq, const std::string& dstring) {
    Put32(bytes_, lba * kSector + 16, seq);
    bytes_.replace(lba * kSector + 24, 32, dstring);
    SealTag(bytes_, lba, 1);
    return *this;
  }
  Image& Pointer(uint32_t lba, uint32_t next, uint32_t sectors) {
    Put32(bytes_, lba * kSector + 20, sectors * kSector);
    Put32(bytes_, lba * kSector + 24, next);
    SealTag(bytes_, lba, 3);
    return *this;
  }
  Image& Terminator(uint32_t lba) {
    SealTag(bytes_, lba, 8);
    return *this;
  }
  Image& Copy(uint32_t from, uint32_t to) {
    bytes_.replace(to * kSector, kSector, bytes_.substr(from * kSector, kSector));
    return *this;
  }
  Image& Poke(size_t at, char value) {
    bytes_[at] = value;
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

TEST(VolumeLabel, HandBuiltDescriptors) {
  struct Case {
    const char* what;
    Image image;
    std::string label;
  };
  std::vector<Case> cases = {
      {"UDF logical volume wins over ISO 9660",
       Image().Iso("HANDISO").Anchor(256, 32).Pvd(32, 0, Dstring8("PVD", 32)).Lvd(33, 1, Dstring8("Hand Movie", 128)).Terminator(34),
       "Hand Movie"},
      {"16-bit compressed unicode",
       Image().Anchor(256, 32).Lvd(32, 0, Dstring16(u"Pel\u00edcula \u6620\u753b", 128)).Terminator(33),
       "Pel\xc3\xad" "cula \xe6\x98\xa0\xe7\x94\xbb"},
      {"8-bit code points above 127", Image().Anchor(256, 32).Lvd(32, 0, Dstring8("Caf\xe9", 128)), "Caf\xc3\xa9"},
      {"empty logical volume falls back to the UDF primary volume",
       Image().Iso("HANDISO").Anchor(256, 32).Pvd(32, 0, Dstring8("PVDONLY", 32)).Lvd(33, 0, std::string(128, '\0')),
       "PVDONLY"},
      {"highest sequence number wins",
       Image().Anchor(256, 32).Lvd(32, 2, Dstring8("NEW", 128)).Lvd(33, 1, Dstring8("OLD", 128)).Terminator(34),
       "NEW"},
      {"sequence continued through a pointer",
       Image().Anchor(256, 32).Pointer(32, 40, 4).Lvd(40, 0, Dstring8("POINTED", 128)), "POINTED"},
      {"anchor only at the last sector", Image().Anchor(299, 32).Lvd(32, 0, Dstring8("LASTANCHOR", 128)),
       "LASTANCHOR"},
      {"anchor checksum broken: ISO 9660 label",
       Image().Iso("HANDISO").Anchor(256, 32).Lvd(32, 0, Dstring8("UDF", 128)).Poke(256 * kSector + 4, 0x11),
       "HANDISO"},
      {"descriptor body altered after its CRC: ISO 9660 label",
       Image().Iso("HANDISO").Anchor(256, 32).Lvd(32, 0, Dstring8("UDF", 128)).Poke(32 * kSector + 85, 'X'),
       "HANDISO"},
      {"descriptor recorded for another sector: ISO 9660 label",
       Image().Iso("HANDISO").Anchor(256, 32).Lvd(33, 0, Dstring8("UDF", 128)).Copy(33, 32), "HANDISO"},
      {"unknown compression: ISO 9660 label",
       Image().Iso("HANDISO").Anchor(256, 32).Lvd(32, 0, [] {
         std::string d = Dstring8("UDF", 128);
         d[0] = 5;
         return d;
       }()),
       "HANDISO"},
      {"length byte beyond the field is clamped",
       Image().Anchor(256, 32).Lvd(32, 0, [] {
         std::string d = Dstring8("CLAMPED", 128);
         d[127] = static_cast<char>(250);
         return d;
       }()),
       "CLAMPED"},
      {"ISO 9660 trailing spaces trimmed", Image().Iso("PLAIN   "), "PLAIN"},
      {"ISO 9660 single-byte text read as Latin-1", Image().Iso("CAF\xc9"), "CAF\xc3\x89"},
      {"nothing recognisable", Image(), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VolumeLabelFromImage(c.image.bytes()), c.label) << c.what;
  }
}

// ---- images from the mastering tools ---------------------------------------

class MasteredImages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    WriteFile(*dir_ / "tree/readme.txt", "hello\n");
    Master("-V 'PLAIN  '", "plain.iso");
    Master("-J -V 'Joliet Name'", "joliet.iso");
    Master("-udf -V 'My Movie'", "udf.iso");
    // A real DVD-Video tree: one second of PAL video authored into VIDEO_TS.
    std::string d = dir_->path();
    std::string cmd = "cd '" + d + "' && ffmpeg -nostdin -v error -f lavfi -i color=c=blue:s=720x576:r=25:d=1 " +
                      "-f lavfi -i anullsrc=r=48000:cl=stereo -t 1 -target pal-dvd -y t.mpg && " +
                      "VIDEO_FORMAT=PAL dvdauthor -o dvd -t t.mpg >/dev/null 2>&1 && " +
                      "VIDEO_FORMAT=PAL dvdauthor -o dvd -T >/dev/null 2>&1 && " +
                      "genisoimage -quiet -dvd-video -V MOVIE -o dvd.iso dvd";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static void Master(const std::string& options, const std::string& name) {
    std::string cmd = "genisoimage -quiet " + options + " -o '" + (*dir_ / name) + "' '" + (*dir_ / "tree") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  static std::string Path(const std::string& name) { return *dir_ / name; }

  static TempDir* dir_;
};
TempDir* MasteredImages::dir_ = nullptr;

TEST_F(MasteredImages, LabelsAsADesktopShowsThem) {
  EXPECT_EQ(ReadVolumeLabel(Path("plain.iso")), "PLAIN");
  EXPECT_EQ(ReadVolumeLabel(Path("joliet.iso")), "Joliet Name");
  EXPECT_EQ(ReadVolumeLabel(Path("udf.iso")), "My Movie");
  EXPECT_EQ(ReadVolumeLabel(Path("dvd.iso")), "MOVIE");
}

TEST_F(MasteredImages, UdfLabelPreferredOverIso9660) {
  // Same image with a different ISO 9660 name: the UDF one is shown.
  std::string img = ReadFile(Path("udf.iso"));
  img.replace(16 * kSector + 40, 32, "OTHERNAME" + std::string(23, ' '));
  ASSERT_EQ(VolumeLabelFromImage(img), "My Movie");
  // Without UDF anchors the ISO 9660 name is all there is.
  img.replace(256 * kSector, kSector, std::string(kSector, '\0'));
  img.replace(img.size() - kSector, kSector, std::string(kSector, '\0'));
  img.replace(img.size() - 257 * kSector, kSector, std::string(kSector, '\0'));
  EXPECT_EQ(VolumeLabelFromImage(img), "OTHERNAME");
}

TEST_F(MasteredImages, TruncatedImagesReadWhatIsThere) {
  std::string img = ReadFile(Path("dvd.iso"));
  ASSERT_GT(img.size(), 300 * kSector);
  // Both file systems carry the name; with less than the ISO 9660 primary
  // descriptor nothing is readable.
  const std::vector<std::pair<size_t, std::string>> cuts = {
      {0, ""},
      {100, ""},
      {16 * kSector, ""},
      {17 * kSector - 1, ""},
      {17 * kSector, "MOVIE"},
      {256 * kSector + 100, "MOVIE"},
      {257 * kSector, "MOVIE"},
      {img.size() - 1, "MOVIE"},
  };
  for (const auto& [size, label] : cuts) {
    std::string file = Path("cut.iso");
    WriteFile(file, img.substr(0, size));
    EXPECT_EQ(ReadVolumeLabel(file), label) << "cut at " << size;
  }
}

TEST_F(MasteredImages, DamagedDescriptorsNeverCrash) {
  // Random bytes over the descriptor areas of a real image; whatever comes
  // out must be a bounded string.
  const std::string original = ReadFile(Path("dvd.iso"));
  std::mt19937 rng(20240611);
  const std::vector<size_t> areas = {16, 17, 18, 256, 257};
  std::string img = original;
  for (int round = 0; round < 3000; ++round) {
    if (round % 50 == 0) img = original;
    size_t sector = areas[rng() % areas.size()];
    if (round % 7 == 0) {
      // Follow the anchor to the sequence it names and damage that too.
      sector = 32 + rng() % 16;
    }
    int flips = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < flips; ++i) img[sector * kSector + rng() % kSector] = static_cast<char>(rng());
    std::string label = VolumeLabelFromImage(img);
    EXPECT_LE(label.size(), 128u * 3);
  }
}

TEST(VolumeLabel, NothingReadable) {
  TempDir dir;
  std::mt19937 rng(7);
  std::string noise(600 * kSector, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  WriteFile(dir / "noise.iso", noise);
  WriteFile(dir / "empty.iso", "");
  WriteFile(dir / "folder/file", "x");
  ::mkfifo((dir / "fifo").c_str(), 0600);  // must not wait for a writer

  EXPECT_EQ(ReadVolumeLabel(dir / "noise.iso"), "");
  EXPECT_EQ(ReadVolumeLabel(dir / "empty.iso"), "");
  EXPECT_EQ(ReadVolumeLabel(dir / "folder"), "");
  EXPECT_EQ(ReadVolumeLabel(dir / "fifo"), "");
  EXPECT_EQ(ReadVolumeLabel(dir / "missing.iso"), "");
  EXPECT_EQ(ReadVolumeLabel(""), "");
  EXPECT_EQ(VolumeLabelFromImage(noise), "");
  EXPECT_EQ(VolumeLabelFromImage(""), "");
}

}  // namespace
}  // namespace tarn::platform
