// One encode per family of the shipped profile catalogue, checked with
// ffprobe: container, codecs, frame size, length and audio format.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "encode_run.h"
#include "encoder_settings.h"
#include "ridirud_test_host.h"
#include "test_support.h"

namespace {

using tarn::test::EncodeProfile;
using tarn::test::MediaProbe;

struct FamilyCase {
  const char* name;
  EncodeProfile profile;
  const char* file;
  int source_width, source_height, rate_num, rate_den, pictures;
  const char* format_name;  // part of ffprobe's format_name
  const char* brand;        // major brand of the MP4 family, or ""
  const char* video_codec;  // "" for audio only
  int width, height;
  const char* audio_codec;
  int sample_rate, channels;
};

double FrameRateOf(const std::string& text) {
  auto rate = ridirud::ParseFrameRateText(text);
  return rate ? static_cast<double>(rate->num) / rate->den : 0.0;
}

double Number(const std::map<std::string, std::string>& m, const char* key) {
  auto it = m.find(key);
  return it == m.end() ? -1.0 : std::strtod(it->second.c_str(), nullptr);
}

// clang-format off
const FamilyCase kFamilies[] = {
  {"ThreeGpH263AmrTemp", {"3ggp", "h263", "96", "176:144", "", "", "15", "amr_nb", "7.95", "8000", "1"},
   "temp.3gp", 352, 288, 25, 1, 50, "3gp", "3gp", "h263", 176, 144, "aac", 8000, 1},
  {"ThreeGpMpeg4Aac", {"3ggp", "mpeg4", "192", "320:240", "", "", "15", "aac", "64", "22050", "1"},
   "clip.3gp", 352, 288, 25, 1, 50, "3gp", "3gp", "mpeg4", 320, 240, "aac", 22050, 1},
  {"ThreeG2Mpeg4Aac", {"3ggp2", "mpeg4", "96", "176:144", "", "", "15", "aac", "48", "22050", "1"},
   "clip.3g2", 352, 288, 25, 1, 50, "3g2", "3g2", "mpeg4", 176, 144, "aac", 22050, 1},
  {"ThreeG2H263AmrTemp", {"3ggp2", "h263", "64", "128:96", "", "", "10", "amr_nb", "12.2", "8000", "1"},
   "temp.3g2", 352, 288, 25, 1, 50, "3g2", "3g2", "h263", 128, 96, "aac", 8000, 1},
  {"Mp4Mpeg4", {"mp4", "mpeg4", "384", "320:240", "", "", "29.97", "aac", "64", "22050", "2"},
   "clip.mp4", 720, 480, 30000, 1001, 60, "mp4", "isom", "mpeg4", 320, 240, "aac", 22050, 2},
  {"Mp4H264", {"mp4", "h264", "768", "320:240", "", "", "29.97", "aac", "128", "48000", "2"},
   "clip.mp4", 720, 480, 30000, 1001, 60, "mp4", "isom", "h264", 320, 240, "aac", 48000, 2},
  {"Mp4OriginalSize", {"mp4", "h264", "1500", "Original", "720:480", "", "23.976", "aac", "128", "44100", "2"},
   "clip.mp4", 720, 480, 30000, 1001, 30, "mp4", "isom", "h264", 720, 480, "aac", 44100, 2},
  {"ConsoleMpeg4", {"psp-mp4", "mpeg4", "512", "320:240", "", "", "29.97", "aac", "128", "48000", "2"},
   "clip.MP4", 720, 480, 30000, 1001, 60, "mp4", "MSNV", "mpeg4", 320, 240, "aac", 48000, 2},
  {"ConsoleAvc", {"psp-avc", "h264", "768", "480:272", "", "", "29.97", "aac", "128", "24000", "2"},
   "clip.MP4", 720, 480, 30000, 1001, 60, "mp4", "MSNV", "h264", 480, 272, "aac", 24000, 2},
  {"FlvSorensonMp3", {"flv", "flv", "300", "320:240", "", "", "25", "mp3", "96", "44100", "2"},
   "clip.flv", 352, 288, 25, 1, 50, "flv", "", "flv1", 320, 240, "mp3", 44100, 2},
  {"FlvH264Mp3", {"flv", "h264", "400", "640:480", "", "", "29.97", "mp3", "64", "22050", "1"},
   "clip.flv", 352, 288, 25, 1, 50, "flv", "", "h264", 640, 480, "mp3", 22050, 1},
  {"SwfSorensonMp3", {"swf", "flv", "300", "320:240", "", "", "25", "mp3", "96", "44100", "2"},
   "temp.swf", 352, 288, 25, 1, 50, "swf", "", "flv1", 320, 240, "mp3", 44100, 2},
  {"Mp3AudioOnly", {"mp3", "None", "None", "Original", "", "", "None", "mp3", "192", "48000", "2"},
   "song.mp3", 352, 288, 25, 1, 50, "mp3", "", "", 0, 0, "mp3", 48000, 2},
  {"M4aAsIntermediateMp3", {"m4a", "None", "None", "Original", "", "", "None", "aac", "128", "44100", "2"},
   "temp.mp3", 352, 288, 25, 1, 50, "mp3", "", "", 0, 0, "mp3", 44100, 2},
};
// clang-format on

void PrintTo(const FamilyCase& c, std::ostream* os) { *os << c.name; }

class FamilyTest : public testing::TestWithParam<FamilyCase> {};

TEST_P(FamilyTest, WritesTheFormatWithItsCodecsSizeAndLength) {
  const FamilyCase& c = GetParam();
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.width = c.source_width;
  source.height = c.source_height;
  source.rate_num = c.rate_num;
  source.rate_den = c.rate_den;
  source.pictures = c.pictures;
  tarn::test::TestEncoderHost host(source);
  tarn::test::EncoderBlockBuilder block;
  const std::string output = dir / c.file;
  host.FillBlock(block, c.profile, output);

  ASSERT_EQ(ridirud::RunEncode(ridirud::ReadEncoderSettings(block.data())), ridirud::kEncodeOk);
  EXPECT_EQ(host.served(), c.pictures);
  MediaProbe probe = tarn::test::ProbeMedia(output);
  ASSERT_TRUE(probe.ok) << output;
  EXPECT_NE(probe.format["format_name"].find(c.format_name), std::string::npos) << probe.format["format_name"];
  if (*c.brand) {
    EXPECT_EQ(probe.format["TAG:major_brand"].substr(0, 3), std::string(c.brand).substr(0, 3));
  }
  const double supplied = host.SuppliedSeconds();

  const auto* video = probe.Stream("video");
  if (*c.video_codec == 0) {
    EXPECT_EQ(video, nullptr);
  } else {
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->at("codec_name"), c.video_codec);
    EXPECT_EQ(Number(*video, "width"), c.width);
    EXPECT_EQ(Number(*video, "height"), c.height);
    const double fps = FrameRateOf(c.profile.frame_rate);
    const double frames = Number(*video, "nb_read_frames");
    EXPECT_NEAR(frames / fps, supplied, 1.0 / fps) << frames << " frames";
  }
  const auto* audio = probe.Stream("audio");
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->at("codec_name"), c.audio_codec);
  EXPECT_EQ(Number(*audio, "sample_rate"), c.sample_rate);
  EXPECT_EQ(Number(*audio, "channels"), c.channels);
  // The audio covers the same time line as the pictures (codec priming and
  // the last partial frame aside).
  EXPECT_NEAR(static_cast<double>(host.audio_frames()) / 48000.0, supplied, 0.001);
  const double audio_seconds = Number(*audio, "duration");
  if (audio_seconds > 0) {
    EXPECT_NEAR(audio_seconds, supplied, 0.1);
  }
  // SWF keeps no overall duration.
  if (std::string(c.format_name) != "swf") {
    EXPECT_NEAR(Number(probe.format, "duration"), supplied, 0.2);
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, FamilyTest, testing::ValuesIn(kFamilies),
                         [](const testing::TestParamInfo<FamilyCase>& param) { return param.param.name; });

}  // namespace
