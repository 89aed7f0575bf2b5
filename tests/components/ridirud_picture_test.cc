// The picture path: crop, scale and pad land the picture where the geometry
// texts say, and the frame rate conversion gives the right number of frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "encode_run.h"
#include "encoder_settings.h"
#include "frame_rate_converter.h"
#include "ridirud_test_host.h"
#include "test_support.h"

namespace {

using tarn::test::EncodeProfile;

// 720x480, white (235) everywhere except the crop rectangle 360x240 at
// (180, 120), whose left half is dark (60) and right half light (170).
constexpr int kSourceW = 720, kSourceH = 480;
constexpr int kCropW = 360, kCropH = 240, kCropX = 180, kCropY = 120;
constexpr int kWhite = 235, kDark = 60, kLight = 170, kBlack = 16;

void DrawCropTarget(int, uint8_t* y, uint8_t* u, uint8_t* v, int width, int height) {
  std::memset(y, kWhite, static_cast<size_t>(width) * height);
  for (int row = kCropY; row < kCropY + kCropH; ++row) {
    std::memset(y + row * width + kCropX, kDark, kCropW / 2);
    std::memset(y + row * width + kCropX + kCropW / 2, kLight, kCropW / 2);
  }
  std::memset(u, 128, static_cast<size_t>(width / 2) * (height / 2));
  std::memset(v, 128, static_cast<size_t>(width / 2) * (height / 2));
}

struct GeometryCase {
  const char* name;
  const char* frame;   // "w:h"
  const char* scaled;  // "w:h"
  int frame_w, frame_h, scaled_w, scaled_h;
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

class GeometryTest : public testing::TestWithParam<GeometryCase> {};

TEST_P(GeometryTest, CropScaleAndPadPlaceThePictureCentred) {
  const GeometryCase& c = GetParam();
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.width = kSourceW;
  source.height = kSourceH;
  source.pictures = 5;
  source.draw = DrawCropTarget;
  tarn::test::TestEncoderHost host(source);
  EncodeProfile profile{"mp4", "h264", "3000", c.frame, c.scaled, "360:240:180:120", "25", "aac", "128", "48000", "2"};
  tarn::test::EncoderBlockBuilder block;
  const std::string output = dir / "geometry.mp4";
  host.FillBlock(block, profile, output);
  ASSERT_EQ(ridirud::RunEncode(ridirud::ReadEncoderSettings(block.data())), ridirud::kEncodeOk);

  std::vector<uint8_t> luma = tarn::test::FirstPictureLuma(output, c.frame_w, c.frame_h);
  ASSERT_EQ(luma.size(), static_cast<size_t>(c.frame_w) * c.frame_h);
  auto at = [&](int x, int y) { return static_cast<int>(luma[static_cast<size_t>(y) * c.frame_w + x]); };
  const int left = (c.frame_w - c.scaled_w) / 2, top = (c.frame_h - c.scaled_h) / 2;
  // Bars: black, two pixels away from the picture's edge.
  for (int y = 0; y < c.frame_h; y += 3)
    for (int x = 0; x < c.frame_w; x += 3) {
      bool in_bar = x < left - 2 || x >= left + c.scaled_w + 2 || y < top - 2 || y >= top + c.scaled_h + 2;
      if (in_bar) {
        EXPECT_NEAR(at(x, y), kBlack, 8) << "bar at " << x << "," << y;
      }
    }
  // Picture: only the cropped area (no white from outside the crop), its left
  // half dark and its right half light.
  for (int y = top + 4; y < top + c.scaled_h - 4; y += 3) {
    for (int x = left + 4; x < left + c.scaled_w / 2 - 4; x += 3) EXPECT_NEAR(at(x, y), kDark, 12);
    for (int x = left + c.scaled_w / 2 + 4; x < left + c.scaled_w - 4; x += 3) EXPECT_NEAR(at(x, y), kLight, 12);
  }
}

const GeometryCase kGeometry[] = {
    {"Letterbox", "320:240", "320:180", 320, 240, 320, 180},
    {"Pillarbox", "480:272", "360:272", 480, 272, 360, 272},
    {"FillsTheFrame", "176:144", "176:144", 176, 144, 176, 144},
};
INSTANTIATE_TEST_SUITE_P(Crops, GeometryTest, testing::ValuesIn(kGeometry),
                         [](const testing::TestParamInfo<GeometryCase>& param) { return param.param.name; });

struct RateCase {
  const char* name;
  int in_num, in_den, pictures;
  const char* out_rate;
  int expected_frames;
};

void PrintTo(const RateCase& c, std::ostream* os) { *os << c.name; }

class FrameRateTest : public testing::TestWithParam<RateCase> {};

TEST_P(FrameRateTest, WritesConstantRateWithTheRightFrameCount) {
  const RateCase& c = GetParam();
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.rate_num = c.in_num;
  source.rate_den = c.in_den;
  source.pictures = c.pictures;
  tarn::test::TestEncoderHost host(source);
  EncodeProfile profile{"mp4", "mpeg4", "512", "320:240", "", "", c.out_rate, "aac", "96", "44100", "2"};
  tarn::test::EncoderBlockBuilder block;
  const std::string output = dir / "rate.mp4";
  host.FillBlock(block, profile, output);
  ASSERT_EQ(ridirud::RunEncode(ridirud::ReadEncoderSettings(block.data())), ridirud::kEncodeOk);
  tarn::test::MediaProbe probe = tarn::test::ProbeMedia(output);
  const auto* video = probe.Stream("video");
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(std::atoi(video->at("nb_read_frames").c_str()), c.expected_frames);
  auto rate = ridirud::ParseFrameRateText(c.out_rate);
  EXPECT_EQ(video->at("avg_frame_rate"), std::to_string(rate->num) + "/" + std::to_string(rate->den));
}

// 60 pictures at 29.97 last 2.002 s: 50.05 frames at 25 -> 50.
const RateCase kRates[] = {
    {"NtscToPal", 30000, 1001, 60, "25", 50},
    {"PalToNtsc", 25, 1, 50, "29.97", 60},
    {"PalTo15", 25, 1, 50, "15", 30},
    {"SameRate", 30000, 1001, 45, "29.97", 45},
};
INSTANTIATE_TEST_SUITE_P(Rates, FrameRateTest, testing::ValuesIn(kRates),
                         [](const testing::TestParamInfo<RateCase>& param) { return param.param.name; });

TEST(FrameRateConverterTest, JitteredTimesNeitherDuplicateNorDrop) {
  ridirud::FrameRateConverter rate({30000, 1001});
  EXPECT_EQ(rate.FramesBefore(0), 0);
  for (int i = 1; i < 300; ++i) {
    const int64_t exact = static_cast<int64_t>(i * 1001000000LL / 30000);
    const int64_t jitter = (i % 3 - 1) * 2000;  // +-2 ms
    ASSERT_EQ(rate.FramesBefore(exact + jitter), 1) << "picture " << i;
  }
  EXPECT_EQ(rate.FramesUntil(300 * 1001000000LL / 30000), 1);
  EXPECT_EQ(rate.frames(), 300);
}

TEST(FrameRateConverterTest, FirstPictureFillsFromTimeZero) {
  ridirud::FrameRateConverter rate({25, 1});
  EXPECT_EQ(rate.FramesBefore(200000), 0);  // first picture late by 200 ms
  EXPECT_EQ(rate.FramesBefore(240000), 6);  // it fills frames 0..5
  EXPECT_EQ(rate.FramesBefore(230000), 0);  // a picture going back in time is dropped
  EXPECT_EQ(rate.FramesUntil(280000), 1);
}

TEST(FrameRateConverterTest, ALoneShortPictureStillGivesOneFrame) {
  ridirud::FrameRateConverter rate({15, 1});
  EXPECT_EQ(rate.FramesBefore(0), 0);
  EXPECT_EQ(rate.FramesUntil(1000), 1);
}

}  // namespace
