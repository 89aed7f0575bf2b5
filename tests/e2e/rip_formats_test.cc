// One profile of every format family of the shipped catalogue, converted
// from a real disc title through the command-line front end and read back
// with ffprobe: container, codecs, picture size, length and side files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "media_probe.h"

namespace tarn::e2e {
namespace {

const std::string kDiscs = TARN_TEST_DISCS_DIR;
// "short" title 2: 30.00 s of a moving 352x288 PAL 4:3 picture, so every
// profile size is filled without bars and every output reaches its bit rate
// (a still picture would make outputs the driver rightly judges too small).
constexpr double kTitleSeconds = 30.0;

struct FormatCase {
  int profile;
  const char* extension;
  const char* brand;       // the MP4-family major brand, or the format name
  const char* videoCodec;  // "" for audio-only files
  int width, height;
  double fps;              // output picture rate (one picture of tolerance)
  const char* audioCodec;
  int sampleRate, channels;
  std::vector<std::string> sideFiles;  // beside the output, {base} replaced
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << "profile " << c.profile; }

class RipFormat : public ::testing::TestWithParam<FormatCase> {};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST_P(RipFormat, ConvertsTheTitleAsTheProfileSays) {
  const FormatCase& c = GetParam();
  test::TempDir home;
  const std::string out = home / "out/";
  const CommandResult r = Cli(home, "rip " + kDiscs + "short --title 2 --yes --profile " + std::to_string(c.profile) +
                                        " --output-folder " + Quote(out));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string file = CompletedPath(r.out);
  ASSERT_FALSE(file.empty()) << r.out;
  EXPECT_EQ(std::filesystem::path(file).extension().string(), c.extension);
  EXPECT_EQ(std::filesystem::path(file).parent_path().string() + "/", out);

  const auto format = ProbeFormat(file);
  const std::string brand = format.count("TAG:major_brand") ? format.at("TAG:major_brand") : format.at("format_name");
  EXPECT_EQ(brand.substr(0, std::string(c.brand).size()), c.brand) << brand;

  const double picture = 1.0 / c.fps;
  if (*c.videoCodec) {
    const auto video = ProbeStream(file, "v:0");
    EXPECT_EQ(video.at("codec_name"), c.videoCodec);
    EXPECT_EQ(Number(video, "width"), c.width);
    EXPECT_EQ(Number(video, "height"), c.height);
    EXPECT_NEAR(VideoLength(file), kTitleSeconds, picture + 1e-3);
  } else {
    EXPECT_TRUE(ProbeStream(file, "v:0").empty());
  }
  const auto audio = ProbeStream(file, "a:0");
  ASSERT_FALSE(audio.empty());
  EXPECT_EQ(audio.at("codec_name"), c.audioCodec);
  EXPECT_EQ(Number(audio, "sample_rate"), c.sampleRate);
  EXPECT_EQ(Number(audio, "channels"), c.channels);
  EXPECT_NEAR(AudioLength(file), kTitleSeconds, std::max(picture, 0.05));

  const std::string base = std::filesystem::path(file).stem().string();
  for (const std::string& side : c.sideFiles) {
    EXPECT_TRUE(std::filesystem::exists(out + Replace(side, "{base}", base))) << side;
  }
  // Nothing but the output and its side files is left in the folder.
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(out)) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1 + c.sideFiles.size());
}

INSTANTIATE_TEST_SUITE_P(
    EveryFamily, RipFormat,
    ::testing::Values(
        FormatCase{21, ".3gp", "3gp", "h263", 176, 144, 15, "amr_nb", 8000, 1, {}},
        FormatCase{24, ".3gp", "3gp", "mpeg4", 320, 240, 15, "aac", 22050, 1, {}},
        FormatCase{41, ".3g2", "3g2", "mpeg4", 176, 144, 15, "aac", 22050, 1, {}},
        FormatCase{60, ".mp4", "isom", "mpeg4", 320, 240, 15, "aac", 22050, 1, {}},
        FormatCase{61, ".mp4", "isom", "h264", 320, 240, 15, "aac", 22050, 1, {}},
        FormatCase{100, ".mp4", "MSNV", "mpeg4", 320, 240, 29.97, "aac", 48000, 2, {"{base}.THM"}},
        FormatCase{101, ".mp4", "MSNV", "h264", 320, 240, 29.97, "aac", 48000, 2, {"{base}.THM"}},
        FormatCase{140, ".flv", "flv", "flv1", 320, 240, 25, "mp3", 44100, 2, {"{base}.html", "flv_player.swf"}},
        FormatCase{142, ".flv", "flv", "h264", 640, 480, 25, "mp3", 44100, 2, {"{base}.html", "flv_player.swf"}},
        FormatCase{160, ".swf", "swf", "flv1", 320, 240, 25, "mp3", 44100, 2, {"{base}.html", "swf_player.swf"}},
        FormatCase{302, ".mp3", "mp3", "", 0, 0, 25, "mp3", 44100, 2, {}},
        FormatCase{300, ".m4a", "M4A", "", 0, 0, 25, "aac", 44100, 2, {}},
        FormatCase{307, ".wav", "wav", "", 0, 0, 25, "pcm_s16le", 44100, 2, {}},
        FormatCase{308, ".au", "au", "", 0, 0, 25, "pcm_s16be", 44100, 2, {}},
        FormatCase{301, ".amr", "amr", "", 0, 0, 25, "amr_nb", 8000, 1, {}}),
    [](const ::testing::TestParamInfo<FormatCase>& p) { return "Profile" + std::to_string(p.param.profile); });

}  // namespace
}  // namespace tarn::e2e
