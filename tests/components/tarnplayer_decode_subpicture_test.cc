// SubpictureDecoder on subpicture streams muxed by spumux and on the feature
// disc: where and when the boxes show, SPU packets split over PES packets, and
// the menu highlight recolouring only its rectangle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "subpicture.h"
#include "tarnplayer_decode_streams.h"
#include "test_support.h"

namespace tarnplayer {
namespace {

constexpr int kWidth = 352, kHeight = 288;
constexpr size_t kPictureBytes = kWidth * kHeight * 3 / 2;
constexpr uint32_t kWhite = 0x00EB8080, kDark = 0x00305A6E;

struct Box {
  int left = kWidth, top = kHeight, right = -1, bottom = -1;
  bool empty() const { return right < 0; }
};

// A mid-grey picture.
std::vector<uint8_t> GreyPicture() {
  std::vector<uint8_t> picture(kPictureBytes, 128);
  return picture;
}

// The luma pixels that differ from the grey picture.
Box ChangedArea(const std::vector<uint8_t>& picture) {
  Box box;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (picture[y * kWidth + x] == 128) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x);
      box.top = std::min(box.top, y);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

// A PAL stream with one subpicture stream muxed by spumux: a white 120x40 box
// at (40, 220), shown from 2 s to 5 s and, with the forced display command,
// from 6 s to 7 s.
class SpumuxSubtitles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new tarn::test::TempDir();
    const tarn::test::TempDir& dir = *dir_;
    bool made =
        test::RunFfmpeg("-f lavfi -i \"color=c=black:s=352x288,format=rgba,"
                        "geq=r=255:g=255:b=255:a='255*between(X\\,40\\,159)*between(Y\\,220\\,259)'\" "
                        "-frames:v 1 " + (dir / "box.png")) &&
        test::RunFfmpeg("-f lavfi -i testsrc=size=352x288:rate=25 -t 8 -c:v mpeg2video -b:v 300k -f dvd " +
                        (dir / "in.mpg"));
    std::ofstream(dir / "sub.xml")
        << "<subpictures format=\"PAL\"><stream>\n"
           "<spu start=\"00:00:02.00\" end=\"00:00:05.00\" image=\"" << (dir / "box.png") << "\"/>\n"
           "<spu start=\"00:00:06.00\" end=\"00:00:07.00\" force=\"yes\" image=\"" << (dir / "box.png") << "\"/>\n"
           "</stream></subpictures>\n";
    const std::string command = "VIDEO_FORMAT=PAL spumux -s 0 " + (dir / "sub.xml") + " <" + (dir / "in.mpg") +
                                " >" + (dir / "out.mpg") + " 2>" + (dir / "spumux.log");
    made = made && std::system(command.c_str()) == 0;
    packets_ = new std::vector<test::TestPes>(made ? test::ReadProgramStream(dir / "out.mpg")
                                                   : std::vector<test::TestPes>{});
  }
  static void TearDownTestSuite() {
    delete packets_;
    delete dir_;
    packets_ = nullptr;
    dir_ = nullptr;
  }

  void SetUp() override {
    ASSERT_FALSE(packets_->empty()) << "ffmpeg or spumux failed";
    titleStart_ = test::FirstPts(*packets_, 0xE0);
    ASSERT_GE(titleStart_, 0);
  }

  static void WhitePalette(SubpictureDecoder& decoder) {
    uint32_t clut[16];
    std::fill(std::begin(clut), std::end(clut), kWhite);
    decoder.SetPalette(clut);
  }

  void Feed(SubpictureDecoder& decoder) {
    WhitePalette(decoder);
    for (const auto& pes : *packets_)
      if (test::IsStream(pes, 0xBD, 0x20)) decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts);
  }

  int64_t At(double seconds) const { return titleStart_ + static_cast<int64_t>(seconds * 90000); }

  std::vector<uint8_t> BlendAt(SubpictureDecoder& decoder, double seconds, bool forced = false) {
    std::vector<uint8_t> picture = GreyPicture();
    decoder.Blend(picture.data(), kWidth, kHeight, At(seconds), forced);
    return picture;
  }

  static tarn::test::TempDir* dir_;
  static std::vector<test::TestPes>* packets_;
  int64_t titleStart_ = -1;
};

tarn::test::TempDir* SpumuxSubtitles::dir_ = nullptr;
std::vector<test::TestPes>* SpumuxSubtitles::packets_ = nullptr;

TEST_F(SpumuxSubtitles, BoxShowsWhereAndWhenItsDisplayCommandsSay) {
  SubpictureDecoder decoder;
  Feed(decoder);
  // Times go forward as the engine blends picture after picture.
  EXPECT_TRUE(ChangedArea(BlendAt(decoder, 1.5)).empty());
  const std::vector<uint8_t> shown = BlendAt(decoder, 3.5);
  const Box box = ChangedArea(shown);
  EXPECT_EQ(box.left, 40);
  EXPECT_EQ(box.top, 220);
  EXPECT_EQ(box.right, 159);
  EXPECT_EQ(box.bottom, 259);
  EXPECT_EQ(shown[240 * kWidth + 100], 0xEB);  // white, fully opaque
  EXPECT_EQ(shown[kWidth * kHeight + 120 * (kWidth / 2) + 50], 128);  // neutral chroma stays
  EXPECT_FALSE(decoder.ForcedAt(At(3.6)));
  EXPECT_TRUE(ChangedArea(BlendAt(decoder, 5.5)).empty());
  EXPECT_EQ(ChangedArea(BlendAt(decoder, 6.5, true)).left, 40);
  EXPECT_TRUE(decoder.ForcedAt(At(6.6)));
  EXPECT_TRUE(ChangedArea(BlendAt(decoder, 7.5)).empty());
}

// An SPU packet cut over several PES packets (even inside its size field)
// decodes as the whole one does; a flush drops what is shown.
TEST_F(SpumuxSubtitles, AssemblesPacketsSplitOverPes) {
  SubpictureDecoder whole;
  Feed(whole);
  const std::vector<uint8_t> expected = BlendAt(whole, 3.5);
  ASSERT_FALSE(ChangedArea(expected).empty());

  const test::TestPes* first = nullptr;
  for (const auto& pes : *packets_)
    if (test::IsStream(pes, 0xBD, 0x20)) {
      first = &pes;
      break;
    }
  ASSERT_NE(first, nullptr);
  for (size_t firstCut : {size_t{1}, size_t{2}, size_t{50}}) {
    SCOPED_TRACE(firstCut);
    SubpictureDecoder split;
    WhitePalette(split);
    const std::vector<uint8_t>& data = first->payload;
    ASSERT_GT(data.size(), firstCut);
    split.Decode(data.data(), firstCut, first->pts);
    for (size_t at = firstCut; at < data.size(); at += 17)
      split.Decode(data.data() + at, std::min<size_t>(17, data.size() - at), -1);
    EXPECT_EQ(BlendAt(split, 3.5), expected);
    split.Flush();
    EXPECT_TRUE(ChangedArea(BlendAt(split, 3.6)).empty());
  }
}

// Time stamps that start again (the next VOB of a title) retire the
// subpictures stamped after the new one: they do not come back later.
TEST_F(SpumuxSubtitles, RestartedTimeStampsDropLaterSubpictures) {
  std::vector<const test::TestPes*> spus;
  for (const auto& pes : *packets_)
    if (test::IsStream(pes, 0xBD, 0x20)) spus.push_back(&pes);
  ASSERT_EQ(spus.size(), 2u);
  SubpictureDecoder decoder;
  WhitePalette(decoder);
  decoder.Decode(spus[1]->payload.data(), spus[1]->payload.size(), spus[1]->pts);  // 6 s to 7 s
  decoder.Decode(spus[0]->payload.data(), spus[0]->payload.size(), spus[0]->pts);  // 2 s to 5 s, after a restart
  EXPECT_FALSE(ChangedArea(BlendAt(decoder, 3.5)).empty());
  EXPECT_TRUE(ChangedArea(BlendAt(decoder, 6.5)).empty());
}

// A packet cut short (its other PES packets lost) gives way to the next one.
TEST_F(SpumuxSubtitles, UnfinishedPacketGivesWayToTheNext) {
  std::vector<const test::TestPes*> spus;
  for (const auto& pes : *packets_)
    if (test::IsStream(pes, 0xBD, 0x20)) spus.push_back(&pes);
  ASSERT_EQ(spus.size(), 2u);
  SubpictureDecoder decoder;
  WhitePalette(decoder);
  decoder.Decode(spus[0]->payload.data(), spus[0]->payload.size() / 2, spus[0]->pts);
  decoder.Decode(spus[1]->payload.data(), spus[1]->payload.size(), spus[1]->pts);
  EXPECT_TRUE(ChangedArea(BlendAt(decoder, 3.5)).empty());
  EXPECT_FALSE(ChangedArea(BlendAt(decoder, 6.5)).empty());
}

// Inside the highlight rectangle the pixels take the highlight's colours and
// contrasts; outside it they keep the subpicture's own.
TEST_F(SpumuxSubtitles, HighlightRecoloursOnlyItsRectangle) {
  SubpictureDecoder plain;
  Feed(plain);
  const std::vector<uint8_t> normal = BlendAt(plain, 3.5);

  SubpictureDecoder lit;
  Feed(lit);
  uint32_t clut[16];
  std::fill(std::begin(clut), std::end(clut), kWhite);
  clut[5] = kDark;
  lit.SetPalette(clut);
  Highlight highlight;
  highlight.sx = 30;
  highlight.ex = 99;
  highlight.sy = 200;
  highlight.ey = 279;
  // The box's pixel value (1) takes colour 5, fully opaque; value 0 (around the box) stays clear.
  highlight.palette = 0x005000F0;
  lit.SetHighlight(&highlight);
  const std::vector<uint8_t> shown = BlendAt(lit, 3.5);

  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool inBox = x >= 40 && x <= 159 && y >= 220 && y <= 259;
      const bool inside = x >= highlight.sx && x <= highlight.ex && y >= highlight.sy && y <= highlight.ey;
      const uint8_t value = shown[y * kWidth + x];
      if (inside && inBox) {
        ASSERT_EQ(value, 0x30) << x << "," << y;
      } else {
        ASSERT_EQ(value, normal[y * kWidth + x]) << x << "," << y;
      }
    }
  }
  // Chroma inside takes the highlight colour too (Cb in the U plane).
  const uint8_t* planeU = shown.data() + kWidth * kHeight;
  EXPECT_EQ(planeU[120 * (kWidth / 2) + 30], 0x6E);
  EXPECT_EQ(planeU[120 * (kWidth / 2) + 70], 128);

  // Without a highlight the subpicture's own colours show everywhere again.
  lit.SetHighlight(nullptr);
  WhitePalette(lit);
  EXPECT_EQ(BlendAt(lit, 3.6), BlendAt(plain, 3.6));
}

// The feature disc's subtitle packets: both streams come and go at their
// times. Their bitmaps hold only transparent pixels, so an opaque highlight
// over the whole picture makes the subpicture's area visible.
TEST(FeatureDiscSubtitles, ShowFromTwoToFiveSeconds) {
  const auto packets =
      test::ReadProgramStream(std::string(TARN_TEST_DISCS_DIR) + "feature/VIDEO_TS/VTS_01_1.VOB");
  const int64_t titleStart = test::FirstPts(packets, 0xE0);
  ASSERT_GE(titleStart, 0) << "the feature disc is missing";
  for (int substream : {0x20, 0x21}) {
    SCOPED_TRACE(substream);
    SubpictureDecoder decoder;
    std::vector<uint32_t> clut(16, kWhite);
    decoder.SetPalette(clut.data());
    int count = 0;
    int64_t lastVideoPts = -1;
    for (const auto& pes : packets) {
      // Title 2 follows in the same file, its time stamps starting again.
      if (pes.streamId == 0xE0 && pes.pts >= 0) {
        if (pes.pts < lastVideoPts - 90000) break;
        lastVideoPts = std::max(lastVideoPts, pes.pts);
      }
      if (!test::IsStream(pes, 0xBD, substream)) continue;
      decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts);
      ++count;
    }
    EXPECT_EQ(count, 7);  // every 10 s from 2 s in a 72 s title
    Highlight everything;
    everything.ex = kWidth - 1;
    everything.ey = kHeight - 1;
    everything.palette = 0x0000FFFF;
    decoder.SetHighlight(&everything);
    for (auto [seconds, visible] : {std::pair{1.5, false}, {3.5, true}, {5.5, false}, {12.5, true}}) {
      SCOPED_TRACE(seconds);
      std::vector<uint8_t> picture = GreyPicture();
      decoder.Blend(picture.data(), kWidth, kHeight, titleStart + static_cast<int64_t>(seconds * 90000), false);
      EXPECT_EQ(ChangedArea(picture).empty(), !visible);
    }
  }
}

}  // namespace
}  // namespace tarnplayer
