// VideoDecoder on real MPEG-2 program streams made with ffmpeg: picture count,
// size, time stamps and duration, pixel-exact pictures, deinterlacing, stills.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tarnplayer_decode_streams.h"
#include "test_support.h"
#include "video_decoder.h"

namespace tarnplayer {
namespace {

using test::FirstPts;
using test::ReadProgramStream;
using test::RunFfmpeg;

std::vector<DecodedPicture> DecodeAll(const std::vector<test::TestPes>& packets) {
  VideoDecoder decoder;
  EXPECT_TRUE(decoder.Open());
  std::vector<DecodedPicture> pictures;
  for (const test::TestPes& pes : packets) {
    if (pes.streamId == 0xE0) decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, pictures);
  }
  decoder.Drain(pictures);
  return pictures;
}

// Mean difference of each luma line to the mean of its neighbours: large
// where the two fields of a moving picture are woven together (combing).
double CombScore(const uint8_t* luma, int width, int height) {
  double sum = 0;
  for (int y = 1; y + 1 < height; ++y) {
    const uint8_t* up = luma + (y - 1) * width;
    const uint8_t* row = luma + y * width;
    const uint8_t* down = luma + (y + 1) * width;
    for (int x = 0; x < width; ++x) sum += std::abs(2 * row[x] - up[x] - down[x]) / 2.0;
  }
  return sum / (static_cast<double>(width) * (height - 2));
}

struct RateCase {
  const char* codec;
  const char* rate;
  int frames;
  int64_t duration;
};

class VideoDecoderTest : public ::testing::TestWithParam<RateCase> {
 protected:
  tarn::test::TempDir dir_;
};

// Progressive MPEG-2 and MPEG-1 with B-frames: every picture comes out once, in
// presentation order, with its time stamp, the rate's duration and exactly
// the pixels ffmpeg's own decode gives.
TEST_P(VideoDecoderTest, DecodesEveryPictureInOrderWithTimeStamps) {
  const RateCase& c = GetParam();
  const std::string vob = dir_ / "video.vob", raw = dir_ / "video.yuv";
  ASSERT_TRUE(RunFfmpeg(std::string("-f lavfi -i testsrc=size=352x288:rate=") + c.rate +
                        " -frames:v " + std::to_string(c.frames) +
                        " -c:v " + c.codec + " -bf 2 -g 12 -b:v 1500k -f vob " + vob));
  ASSERT_TRUE(RunFfmpeg("-i " + vob + " -f rawvideo -pix_fmt yuv420p " + raw));
  const auto packets = ReadProgramStream(vob);
  const int64_t firstPts = FirstPts(packets, 0xE0);
  ASSERT_GE(firstPts, 0);

  const std::vector<DecodedPicture> pictures = DecodeAll(packets);
  ASSERT_EQ(pictures.size(), static_cast<size_t>(c.frames));
  const std::vector<uint8_t> reference = test::ReadBytes(raw);
  const size_t pictureBytes = 352 * 288 * 3 / 2;
  ASSERT_EQ(reference.size(), pictureBytes * c.frames);
  for (size_t i = 0; i < pictures.size(); ++i) {
    SCOPED_TRACE(i);
    const DecodedPicture& p = pictures[i];
    ASSERT_EQ(p.width, 352);
    ASSERT_EQ(p.height, 288);
    ASSERT_EQ(p.data.size(), pictureBytes);
    EXPECT_FALSE(p.interlaced);
    EXPECT_EQ(p.duration90k, c.duration);
    // The encoder stamps pictures on the rate's grid; allow its rounding.
    EXPECT_NEAR(static_cast<double>(p.pts90k - firstPts), static_cast<double>(i) * c.duration, 2.0);
    EXPECT_TRUE(std::equal(p.data.begin(), p.data.end(), reference.begin() + i * pictureBytes));
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, VideoDecoderTest,
                         ::testing::Values(RateCase{"mpeg2video", "25", 30, 3600},
                                           RateCase{"mpeg2video", "30000/1001", 30, 3003},
                                           RateCase{"mpeg1video", "25", 30, 3600}));

TEST(VideoDecoderStill, DrainGivesTheOnlyPictureOfAStill) {
  tarn::test::TempDir dir;
  const std::string vob = dir / "still.vob";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i smptebars=size=720x576:rate=25 -frames:v 1 -c:v mpeg2video -f vob " + vob));
  const auto packets = ReadProgramStream(vob);
  VideoDecoder decoder;
  ASSERT_TRUE(decoder.Open());
  std::vector<DecodedPicture> pictures;
  for (const auto& pes : packets)
    if (pes.streamId == 0xE0) decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, pictures);
  EXPECT_TRUE(pictures.empty());  // held until the stream is known to end
  decoder.Drain(pictures);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].width, 720);
  EXPECT_EQ(pictures[0].height, 576);
  EXPECT_EQ(pictures[0].pts90k, FirstPts(packets, 0xE0));

  // After a drain the decoder takes the next still, and a flush drops what it holds.
  pictures.clear();
  for (const auto& pes : packets)
    if (pes.streamId == 0xE0) decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, pictures);
  decoder.Flush();
  decoder.Drain(pictures);
  EXPECT_TRUE(pictures.empty());
  for (const auto& pes : packets)
    if (pes.streamId == 0xE0) decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, pictures);
  decoder.Drain(pictures);
  EXPECT_EQ(pictures.size(), 1u);
}

// The ntsc disc's first title: 2038 pictures of 352x240 at 29.97 per second,
// one after the other on the 3003-tick grid.
TEST(VideoDecoderDisc, DecodesTheNtscTitle) {
  const auto packets = ReadProgramStream(std::string(TARN_TEST_DISCS_DIR) + "ntsc/VIDEO_TS/VTS_01_1.VOB");
  ASSERT_FALSE(packets.empty()) << "the ntsc disc is missing";
  VideoDecoder decoder;
  ASSERT_TRUE(decoder.Open());
  std::vector<DecodedPicture> pictures;
  int64_t highest = -1;
  for (const auto& pes : packets) {
    if (pes.streamId != 0xE0) continue;
    if (pes.pts >= 0 && pes.pts < highest - 90000) break;  // title 2 follows, its stamps starting again
    highest = std::max(highest, pes.pts);
    decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, pictures);
    for (DecodedPicture& p : pictures) p.data.clear();  // keep memory low: only the stamps matter here
  }
  decoder.Drain(pictures);
  ASSERT_EQ(pictures.size(), 2038u);
  for (size_t i = 0; i < pictures.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pictures[i].width, 352);
    EXPECT_EQ(pictures[i].height, 240);
    EXPECT_EQ(pictures[i].duration90k, 3003);
    if (i > 0) {
      EXPECT_NEAR(static_cast<double>(pictures[i].pts90k - pictures[i - 1].pts90k), 3003.0, 1.0);
    }
  }
}

// A menu of another size followed by a title: every picture of both comes out
// at its own size, in order.
TEST(VideoDecoderSizes, FollowsASizeChangeWithoutLosingPictures) {
  tarn::test::TempDir dir;
  const std::string small = dir / "small.vob", large = dir / "large.vob";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc=size=352x288:rate=25 -frames:v 10 -c:v mpeg2video -f vob " + small));
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc=size=720x576:rate=25 -frames:v 5 -c:v mpeg2video -f vob " + large));
  VideoDecoder decoder;
  ASSERT_TRUE(decoder.Open());
  std::vector<DecodedPicture> pictures;
  for (const std::string& file : {small, large}) {
    for (const auto& pes : ReadProgramStream(file))
      if (pes.streamId == 0xE0) decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, pictures);
  }
  decoder.Drain(pictures);
  ASSERT_EQ(pictures.size(), 15u);
  for (size_t i = 0; i < pictures.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pictures[i].width, i < 10 ? 352 : 720);
    EXPECT_EQ(pictures[i].data.size(), static_cast<size_t>(pictures[i].width) * pictures[i].height * 3 / 2);
  }
}

// A moving pattern shot at 50 fields per second and coded interlaced comes out
// one picture per coded picture, flagged interlaced, without combing.
TEST(VideoDecoderInterlaced, DeinterlacesOnePicturePerPicture) {
  tarn::test::TempDir dir;
  const std::string vob = dir / "interlaced.vob", raw = dir / "woven.yuv";
  ASSERT_TRUE(RunFfmpeg(
      "-f lavfi -i testsrc2=size=720x576:rate=50 -frames:v 20 "
      "-vf tinterlace=mode=interleave_top,setfield=tff -c:v mpeg2video -flags +ilme+ildct -top 1 "
      "-b:v 6000k -f vob " + vob));
  // ffmpeg's plain decode shows the fields woven together.
  ASSERT_TRUE(RunFfmpeg("-i " + vob + " -f rawvideo -pix_fmt yuv420p " + raw));
  const std::vector<uint8_t> woven = test::ReadBytes(raw);
  const size_t pictureBytes = 720 * 576 * 3 / 2;
  ASSERT_EQ(woven.size(), pictureBytes * 20);

  const auto packets = ReadProgramStream(vob);
  const std::vector<DecodedPicture> pictures = DecodeAll(packets);
  ASSERT_EQ(pictures.size(), 20u);
  const int64_t firstPts = FirstPts(packets, 0xE0);
  for (size_t i = 0; i < pictures.size(); ++i) {
    SCOPED_TRACE(i);
    const DecodedPicture& p = pictures[i];
    EXPECT_TRUE(p.interlaced);
    EXPECT_EQ(p.duration90k, 3600);
    EXPECT_NEAR(static_cast<double>(p.pts90k - firstPts), i * 3600.0, 2.0);
    const double combed = CombScore(woven.data() + i * pictureBytes, 720, 576);
    const double clean = CombScore(p.data.data(), 720, 576);
    if (i > 0) {  // the first picture has no motion between its fields yet
      EXPECT_GT(combed, 1.5);
      EXPECT_LT(clean, combed * 0.6) << "combed " << combed << " clean " << clean;
    }
  }
}

}  // namespace
}  // namespace tarnplayer
