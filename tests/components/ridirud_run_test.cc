// The encode run as the host sees it: failures leave no file behind, a stop
// finishes the file, the metadata and the volume reach the output, and the
// exported entry points of libRIDirud.so work.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>

#include "encode_run.h"
#include "encoder_settings.h"
#include "ridirud_test_host.h"
#include "test_support.h"

namespace {

using tarn::test::EncodeProfile;

const EncodeProfile kMp4H264{"mp4", "h264", "512", "320:240", "", "", "25", "aac", "128", "48000", "2"};

int Encode(tarn::test::TestEncoderHost& host, const EncodeProfile& profile, const std::string& output,
           const tarn::test::EncodeMetadata& meta = {}) {
  tarn::test::EncoderBlockBuilder block;
  host.FillBlock(block, profile, output, meta);
  return ridirud::RunEncode(ridirud::ReadEncoderSettings(block.data()));
}

struct RefusedEncode {
  const char* name;
  EncodeProfile profile;
  const char* log_text;
};

// Values the profiles could carry that the encoders or muxers refuse: the
// encode fails with a log line and no file is left behind.
TEST(EncodeRunTest, UnencodableValuesFailCleanly) {
  const RefusedEncode cases[] = {
      {"H.263 outside its sizes", {"3ggp", "h263", "96", "320:240", "", "", "15", "aac", "48", "22050", "1"}, "h263"},
      {"SWF at 48 kHz", {"swf", "flv", "300", "320:240", "", "", "25", "mp3", "96", "48000", "2"}, "swf"},
      {"FLV MP3 at 32 kHz", {"flv", "flv", "300", "320:240", "", "", "25", "mp3", "96", "32000", "2"}, "flv"},
      {"unknown format", {"mkv", "h264", "512", "320:240", "", "", "25", "aac", "128", "48000", "2"}, "format"},
      {"no frame rate", {"mp4", "h264", "512", "320:240", "", "", "", "aac", "128", "48000", "2"}, "frame rate"},
  };
  for (const RefusedEncode& c : cases) {
    tarn::test::TempDir dir;
    tarn::test::TestSource source;
    source.pictures = 10;
    tarn::test::TestEncoderHost host(source);
    const std::string output = dir / "out.bin";
    EXPECT_NE(Encode(host, c.profile, output), ridirud::kEncodeOk) << c.name;
    EXPECT_FALSE(tarn::test::FileExistsForTest(output)) << c.name;
    EXPECT_TRUE(host.LogContains("failed") || host.LogContains("cannot encode")) << c.name;
    EXPECT_TRUE(host.LogContains(c.log_text)) << c.name;
  }
}

TEST(EncodeRunTest, AbortedMediaInfoWritesNothing) {
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.abort_media_info = true;
  tarn::test::TestEncoderHost host(source);
  const std::string output = dir / "out.mp4";
  EXPECT_EQ(Encode(host, kMp4H264, output), ridirud::kEncodeNoMediaInfo);
  EXPECT_FALSE(tarn::test::FileExistsForTest(output));
  EXPECT_EQ(host.served(), 0);
}

TEST(EncodeRunTest, SupplyStopFinishesAPlayableFile) {
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.pictures = 200;
  source.supply_stop_after = 30;  // the host stops after 1.2 s
  tarn::test::TestEncoderHost host(source);
  const std::string output = dir / "stopped.mp4";
  ASSERT_EQ(Encode(host, kMp4H264, output), ridirud::kEncodeOk);
  tarn::test::MediaProbe probe = tarn::test::ProbeMedia(output);
  ASSERT_TRUE(probe.ok);
  const auto* video = probe.Stream("video");
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(std::atoi(video->at("nb_read_frames").c_str()), 30);
  EXPECT_NEAR(std::strtod(probe.format["duration"].c_str(), nullptr), 1.2, 0.1);
}

TEST(EncodeRunTest, NothingYetRepliesAreAskedAgain) {
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.pictures = 25;
  source.empty_replies = 2;
  tarn::test::TestEncoderHost host(source);
  const std::string output = dir / "waits.mp4";
  ASSERT_EQ(Encode(host, kMp4H264, output), ridirud::kEncodeOk);
  tarn::test::MediaProbe probe = tarn::test::ProbeMedia(output);
  ASSERT_NE(probe.Stream("video"), nullptr);
  EXPECT_EQ(std::atoi(probe.Stream("video")->at("nb_read_frames").c_str()), 25);
}

TEST(EncodeRunTest, MetadataReachesMp4AndMp3) {
  const tarn::test::EncodeMetadata meta{"Night Train", "Some Author", "Disc One", "Drama", "2026", "7", "made here"};
  const EncodeProfile mp3{"mp3", "None", "None", "Original", "", "", "None", "mp3", "128", "44100", "2"};
  for (const EncodeProfile* profile : {&kMp4H264, &mp3}) {
    tarn::test::TempDir dir;
    tarn::test::TestSource source;
    source.pictures = 10;
    tarn::test::TestEncoderHost host(source);
    const std::string output = dir / ("tagged." + profile->format);
    ASSERT_EQ(Encode(host, *profile, output, meta), ridirud::kEncodeOk);
    tarn::test::MediaProbe probe = tarn::test::ProbeMedia(output);
    EXPECT_EQ(probe.format["TAG:title"], "Night Train") << profile->format;
    EXPECT_EQ(probe.format["TAG:artist"], "Some Author") << profile->format;
    EXPECT_EQ(probe.format["TAG:album"], "Disc One") << profile->format;
    EXPECT_EQ(probe.format["TAG:genre"], "Drama") << profile->format;
    EXPECT_EQ(probe.format["TAG:date"], "2026") << profile->format;
    EXPECT_EQ(probe.format["TAG:track"], "7") << profile->format;
    EXPECT_EQ(probe.format["TAG:comment"], "made here") << profile->format;
  }
}

TEST(EncodeRunTest, VolumeScalesTheAudio) {
  auto mean_db = [](float volume) {
    tarn::test::TempDir dir;
    tarn::test::TestSource source;
    source.pictures = 25;
    tarn::test::TestEncoderHost host(source);
    EncodeProfile mp3{"mp3", "None", "None", "Original", "", "", "None", "mp3", "192", "48000", "2"};
    mp3.volume = volume;
    const std::string output = dir / "tone.mp3";
    EXPECT_EQ(Encode(host, mp3, output), ridirud::kEncodeOk);
    return tarn::test::MeanVolumeDb(output);
  };
  const double normal = mean_db(100.0f);
  ASSERT_GT(normal, -60.0);
  EXPECT_NEAR(mean_db(50.0f) - normal, -6.02, 0.7);
  EXPECT_NEAR(mean_db(200.0f) - normal, 6.02, 0.7);
}

TEST(EncodeRunTest, ThreeGpCarriesTheAuthorField) {
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.pictures = 10;
  tarn::test::TestEncoderHost host(source);
  const std::string output = dir / "phone.3gp";
  const EncodeProfile p{"3ggp", "mpeg4", "192", "320:240", "", "", "15", "aac", "64", "22050", "1"};
  ASSERT_EQ(Encode(host, p, output, {"Clip", "Some Author", "", "", "", "", ""}), ridirud::kEncodeOk);
  // ffprobe does not show the 3GPP user data boxes; look for them directly:
  // box type, version/flags, language, then the text.
  const std::string bytes = tarn::test::ReadFile(output);
  EXPECT_NE(bytes.find(std::string("titl\0\0\0\0\x15\xc7" "Clip", 14)), std::string::npos);
  EXPECT_NE(bytes.find(std::string("auth\0\0\0\0\x15\xc7" "Some Author", 21)), std::string::npos);
}

TEST(EncodeRunTest, AspectChoiceIsWrittenToTheContainer) {
  struct Case {
    const char* aspect;
    const char* sar;
    const char* dar;
  } cases[] = {{"16:9", "32:27", "16:9"}, {"4:3", "8:9", "4:3"}, {"Keep original aspect rate", "1:1", "3:2"}};
  for (const Case& c : cases) {
    tarn::test::TempDir dir;
    tarn::test::TestSource source;
    source.width = 720;
    source.height = 480;
    source.pictures = 5;
    tarn::test::TestEncoderHost host(source);
    EncodeProfile p{"mp4", "mpeg4", "2000", "720:480", "", "", "29.97", "aac", "128", "48000", "2"};
    p.aspect = c.aspect;
    const std::string output = dir / "tv.mp4";
    ASSERT_EQ(Encode(host, p, output), ridirud::kEncodeOk);
    const std::string shown = tarn::test::RunCommandForTest(
        "ffprobe -v error -select_streams v:0 -show_entries stream=sample_aspect_ratio,display_aspect_ratio "
        "-of default=nw=1 '" + output + "'");
    EXPECT_NE(shown.find(std::string("sample_aspect_ratio=") + c.sar), std::string::npos) << c.aspect << shown;
    EXPECT_NE(shown.find(std::string("display_aspect_ratio=") + c.dar), std::string::npos) << c.aspect << shown;
  }
}

TEST(EncodeRunTest, AudioOnlyStillPullsEveryPicture) {
  // The host's picture ring must keep moving while only audio is written.
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.width = 720;
  source.height = 576;
  source.pictures = 40;
  tarn::test::TestEncoderHost host(source);
  const std::string output = dir / "temp.mp3";
  ASSERT_EQ(Encode(host, {"wav", "None", "None", "Original", "", "", "None", "pcm_s16le", "128", "44100", "2"},
                   output),
            ridirud::kEncodeOk);
  EXPECT_EQ(host.served(), 40);
  EXPECT_EQ(host.audio_frames(), 48000 * 40 / 25);
}

// The shared library as the host loads it.
class EntryPointTest : public testing::Test {
 protected:
  void SetUp() override {
    library_ = ::dlopen((tarn::test::ProgramDir() + "libRIDirud.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << ::dlerror();
    init_ = reinterpret_cast<Video_to_X_init_Fn>(::dlsym(library_, "Video_to_X_init"));
    convert_ = reinterpret_cast<Video_to_X_do_Convert_Fn>(::dlsym(library_, "Video_to_X_do_Convert"));
    ASSERT_NE(init_, nullptr);
    ASSERT_NE(convert_, nullptr);
  }
  void TearDown() override {
    if (library_) ::dlclose(library_);
  }
  void* library_ = nullptr;
  Video_to_X_init_Fn init_ = nullptr;
  Video_to_X_do_Convert_Fn convert_ = nullptr;
};

TEST_F(EntryPointTest, OnlyTheTwoEntryPointsAreExported) {
  EXPECT_EQ(::dlsym(library_, "_ZN7ridirud9RunEncodeERKNS_15EncoderSettingsE"), nullptr);
}

TEST_F(EntryPointTest, ConvertWithoutInitFails) {
  EXPECT_NE(init_(nullptr), 0);
  EXPECT_NE(convert_(), 0);
}

TEST_F(EntryPointTest, EncodesFromACopiedBlock) {
  tarn::test::TempDir dir;
  tarn::test::TestSource source;
  source.pictures = 25;
  tarn::test::TestEncoderHost host(source);
  const std::string output = dir / "entry.flv";
  {
    // The block is gone before the encode runs: init copies what it needs.
    tarn::test::EncoderBlockBuilder block;
    host.FillBlock(block, {"flv", "flv", "300", "320:240", "", "", "25", "mp3", "96", "44100", "2"}, output);
    ASSERT_EQ(init_(block.data()), 0);
  }
  EXPECT_EQ(convert_(), 0);
  tarn::test::MediaProbe probe = tarn::test::ProbeMedia(output);
  ASSERT_NE(probe.Stream("video"), nullptr);
  EXPECT_EQ(probe.Stream("video")->at("codec_name"), "flv1");
  EXPECT_FALSE(host.log().empty());
}

}  // namespace
