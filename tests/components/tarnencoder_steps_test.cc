// libTarnEncoder.so, loaded from the program folder the way the program loads
// it, run on small real media files and checked with ffprobe.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TarnEncoder.h"
#include "audio_encoder.h"
#include "media_fixture.h"
#include "operations.h"
#include "platform/dynamic_library.h"
#include "test_support.h"
#include "value_text.h"

namespace {

using tarn::test::Probe;

struct EncoderEntries {
  tarn::platform::DynamicLibrary library;
  Recreate3gpFn recreate3gp = nullptr;
  RemuxSWFFileFn remuxSwf = nullptr;
  ConvertAudioFileFn convertAudio = nullptr;
  CaptureTHMFn captureThm = nullptr;
};

EncoderEntries& Entries() {
  static EncoderEntries* entries = [] {
    auto* e = new EncoderEntries;
    if (e->library.Open(tarn::test::ProgramDir() + "libTarnEncoder.so")) {
      e->recreate3gp = e->library.Entry<Recreate3gpFn>("Recreate3gp");
      e->remuxSwf = e->library.Entry<RemuxSWFFileFn>("RemuxSWFFile");
      e->convertAudio = e->library.Entry<ConvertAudioFileFn>("ConvertAudioFile");
      e->captureThm = e->library.Entry<CaptureTHMFn>("CaptureTHM");
    }
    return e;
  }();
  return *entries;
}

// The inputs, made once for the whole suite: a few seconds each.
struct Inputs {
  tarn::test::TempDir dir;
  std::string h263Aac3gp = dir / "h263.3gp";  // 8 kHz mono AAC, as the encoder writes it
  std::string mpeg4Aac3g2 = dir / "mpeg4.3g2";
  std::string mp3 = dir / "temp.mp3";
  std::string swf = dir / "temp.swf";
  std::string darkThenBright = dir / "steps.mp4";  // dark for 2 s, then bright
  std::string wideShort = dir / "wide.mp4";        // 16:9, 1.5 s, dark
  bool made = false;
};

const char* kTestAudio = "-f lavfi -i sine=frequency=440:sample_rate=44100 -af aformat=channel_layouts=stereo";

Inputs& Media() {
  static Inputs* inputs = [] {
    auto* in = new Inputs;
    const std::string picture = "-f lavfi -i testsrc=size=176x144:rate=15 ";
    in->made =
        tarn::test::MakeMedia(in->h263Aac3gp, picture + kTestAudio +
                                                   " -t 3 -c:v h263 -c:a aac -ar 8000 -ac 1 -b:a 24k -f 3gp") &&
        tarn::test::MakeMedia(in->mpeg4Aac3g2, picture + kTestAudio + " -t 3 -c:v mpeg4 -c:a aac -b:a 64k -f 3g2") &&
        tarn::test::MakeMedia(in->mp3, std::string(kTestAudio) + " -t 3 -c:a libmp3lame -b:a 128k -ar 44100") &&
        tarn::test::MakeMedia(in->swf, "-f lavfi -i testsrc=size=320x240:rate=15 " + std::string(kTestAudio) +
                                           " -t 3 -c:v flv1 -c:a libmp3lame -ar 22050 -b:a 64k -f swf") &&
        tarn::test::MakeMedia(in->darkThenBright,
                              "-f lavfi -i nullsrc=size=320x240:rate=10,geq=lum='if(lt(T\\,2)\\,30\\,220)':cb=128:cr=128"
                              " -t 5 -c:v mpeg4 -g 10 -pix_fmt yuv420p") &&
        tarn::test::MakeMedia(in->wideShort,
                              "-f lavfi -i color=c=0x404040:size=320x180:rate=10 -t 1.5 -c:v mpeg4 -pix_fmt yuv420p");
    return in;
  }();
  return *inputs;
}

class TarnEncoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Entries().recreate3gp && Entries().remuxSwf && Entries().convertAudio && Entries().captureThm)
        << "libTarnEncoder.so or an entry point is missing in " << tarn::test::ProgramDir();
    ASSERT_TRUE(Media().made) << "ffmpeg could not make the test inputs";
  }
  // Files in the output folder, to see that nothing is left behind.
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out.path()))
      names.push_back(entry.path().filename().string());
    return names;
  }
  tarn::test::TempDir out;
};

// Records every progress report; answers `stopAt` calls with "go on" and
// then asks to stop (-1: never).
struct ProgressLog {
  std::vector<float> values;
  int stopAfter = -1;
  static int Callback(float percentage, void* window) {
    auto* log = static_cast<ProgressLog*>(window);
    log->values.push_back(percentage);
    return log->stopAfter >= 0 && static_cast<int>(log->values.size()) > log->stopAfter ? 1 : 0;
  }
};

void ExpectProgressRan(const ProgressLog& log) {
  ASSERT_GE(log.values.size(), 3u);
  EXPECT_EQ(log.values.front(), 0.0f);
  EXPECT_EQ(log.values.back(), 100.0f);
  for (size_t i = 1; i < log.values.size(); ++i) EXPECT_GT(log.values[i], log.values[i - 1]);
}

TEST_F(TarnEncoderTest, Recreate3gpCopiesTheVideoAndEncodesAmrNbAudio) {
  struct Case {
    std::string input, ext, videoCodec;
  };
  for (const Case& c : {Case{Media().h263Aac3gp, "3gp", "h263"}, Case{Media().mpeg4Aac3g2, "3g2", "mpeg4"}}) {
    SCOPED_TRACE(c.ext);
    const std::string dest = out / ("Film[1]." + c.ext);
    ProgressLog progress;
    ASSERT_EQ(Entries().recreate3gp(c.input.c_str(), dest.c_str(), c.ext.c_str(), c.videoCodec.c_str(), "96k",
                                    "amr_nb", "12.2", &ProgressLog::Callback, &progress),
              TARNENC_OK);
    ExpectProgressRan(progress);
    auto audio = Probe(dest, "a:0");
    EXPECT_EQ(audio["codec_name"], "amr_nb");
    EXPECT_EQ(audio["sample_rate"], "8000");
    EXPECT_EQ(audio["channels"], "1");
    // As long as the input says its audio is, to the AMR frame (20 ms): the
    // encoder's temporary file carries 8 kHz AAC, whose last 128 ms frame
    // reaches past the stream's end.
    EXPECT_NEAR(tarn::test::DecodedAudioSeconds(dest), 3.0, 0.025);
    auto videoIn = Probe(c.input, "v:0");
    auto videoOut = Probe(dest, "v:0");
    EXPECT_EQ(videoOut["codec_name"], c.videoCodec);
    for (const char* key : {"codec_name", "width", "height", "nb_read_packets"}) EXPECT_EQ(videoOut[key], videoIn[key]) << key;
    EXPECT_NE(Probe(dest, "")["format_name"].find("3gp"), std::string::npos);
  }
  EXPECT_EQ(FolderNames().size(), 2u);  // the two outputs and nothing else
}

TEST(TarnEncoderAmrModes, TheNearestModeOfTheAskedBitRateIsUsed) {
  struct Case {
    double kilobits;
    int mode;
  };
  for (const Case& c : {Case{4.75, 0}, Case{5.0, 1}, Case{5.9, 2}, Case{7.0, 3}, Case{7.95, 5}, Case{9.0, 5},
                        Case{10.2, 6}, Case{12.2, 7}, Case{64.0, 7}, Case{1.0, 0}}) {
    EXPECT_EQ(tarn::encoder::NearestAmrNbMode(c.kilobits), c.mode) << c.kilobits;
  }
  EXPECT_EQ(tarn::encoder::AmrNbModeBitrate(5), 7950);
}

TEST(TarnEncoderValueText, BitRatesRatesAndChannelsAreReadFromTheProfileTexts) {
  using tarn::encoder::ParseChannels;
  using tarn::encoder::ParseKilobits;
  using tarn::encoder::ParsePositiveInt;
  EXPECT_DOUBLE_EQ(ParseKilobits("128k"), 128.0);
  EXPECT_DOUBLE_EQ(ParseKilobits("12.2"), 12.2);
  EXPECT_DOUBLE_EQ(ParseKilobits("7.95k"), 7.95);
  for (const char* bad : {"", "k", "None", "Nonek", "-5", "0", "12kk", "nan", "1e999"}) EXPECT_LT(ParseKilobits(bad), 0.0) << bad;
  EXPECT_LT(ParseKilobits(nullptr), 0.0);
  EXPECT_EQ(ParsePositiveInt("44100"), 44100);
  for (const char* bad : {"", "0", "-8000", "44.1", "44100Hz", "99999999999"}) EXPECT_EQ(ParsePositiveInt(bad), -1) << bad;
  EXPECT_EQ(ParseChannels("2"), 2);
  EXPECT_EQ(ParseChannels("1 (Mono)"), 1);
  for (const char* bad : {"", "0", "9", "x", "Stereo"}) EXPECT_EQ(ParseChannels(bad), -1) << bad;
}

TEST_F(TarnEncoderTest, ConvertAudioFileWritesEachAudioFormat) {
  struct Case {
    const char* format;
    const char* rate;
    const char* channels;
    const char* codec;
    const char* expectRate;
    const char* expectChannels;
  };
  const Case cases[] = {
      {"au", "44100", "2", "pcm_s16be", "44100", "2"},
      {"amr", "44100", "2", "amr_nb", "8000", "1"},  // AMR-NB is always 8 kHz mono
      {"wav", "22050", "1 (Mono)", "pcm_s16le", "22050", "1"},
      {"m4a", "44100", "2", "aac", "44100", "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const std::string dest = out / (std::string("Song.") + c.format);
    ProgressLog progress;
    ASSERT_EQ(Entries().convertAudio(Media().mp3.c_str(), dest.c_str(), c.format, c.codec, "128k", c.rate,
                                     c.channels, &ProgressLog::Callback, &progress),
              TARNENC_OK);
    ExpectProgressRan(progress);
    auto audio = Probe(dest, "a:0");
    EXPECT_EQ(audio["codec_name"], c.codec);
    EXPECT_EQ(audio["sample_rate"], c.expectRate);
    EXPECT_EQ(audio["channels"], c.expectChannels);
    // M4A's AAC ends on a whole frame, which its container does not trim.
    EXPECT_NEAR(tarn::test::DecodedAudioSeconds(dest), 3.0, 0.1);
  }
  // M4A goes into an MP4 container even when the file is named .mp4.
  const std::string mp4 = out / "temp.mp4";
  ASSERT_EQ(Entries().convertAudio(Media().mp3.c_str(), mp4.c_str(), "m4a", "aac", "96k", "44100", "2", nullptr,
                                   nullptr),
            TARNENC_OK);
  EXPECT_NE(Probe(mp4, "")["format_name"].find("mp4"), std::string::npos);
  EXPECT_EQ(FolderNames().size(), 5u);
}

TEST_F(TarnEncoderTest, RemuxSwfCopiesVideoAndAudioIntoANewSwf) {
  const std::string dest = out / "Film[1].swf";
  ProgressLog progress;
  ASSERT_EQ(Entries().remuxSwf(Media().swf.c_str(), dest.c_str(), "256k", "64k", &ProgressLog::Callback, &progress),
            TARNENC_OK);
  ExpectProgressRan(progress);
  EXPECT_EQ(Probe(dest, "")["format_name"], "swf");
  auto videoIn = Probe(Media().swf, "v:0");
  auto videoOut = Probe(dest, "v:0");
  EXPECT_EQ(videoOut["codec_name"], "flv1");
  for (const char* key : {"width", "height", "nb_read_packets"}) EXPECT_EQ(videoOut[key], videoIn[key]) << key;
  auto audio = Probe(dest, "a:0");
  EXPECT_EQ(audio["codec_name"], "mp3");
  EXPECT_EQ(audio["sample_rate"], "22050");
  EXPECT_NEAR(tarn::test::DecodedAudioSeconds(dest), 3.0, 0.2);
}

// Mean luma of rows [from, to) of a 160x120 picture, decoded by ffmpeg.
double MeanLuma(const std::string& jpeg, int from, int to) {
  const std::string gray = tarn::test::CommandOutput("ffmpeg -nostdin -v error -i " + tarn::test::ShellQuote(jpeg) +
                                                     " -f rawvideo -pix_fmt gray - 2>/dev/null");
  if (gray.size() != 160u * 120u) return -1.0;
  double sum = 0.0;
  for (int y = from; y < to; ++y)
    for (int x = 0; x < 160; ++x) sum += static_cast<unsigned char>(gray[static_cast<size_t>(y * 160 + x)]);
  return sum / ((to - from) * 160.0);
}

TEST_F(TarnEncoderTest, CaptureThmWritesA160x120JpegOfAPictureAFewSecondsIn) {
  const std::string thm = out / "Clip.THM";
  ASSERT_EQ(Entries().captureThm(Media().darkThenBright.c_str(), thm.c_str()), TARNENC_OK);
  auto picture = Probe(thm, "v:0");
  EXPECT_EQ(picture["codec_name"], "mjpeg");
  EXPECT_EQ(picture["width"], "160");
  EXPECT_EQ(picture["height"], "120");
  EXPECT_EQ(tarn::test::ReadFile(thm).substr(0, 2), "\xFF\xD8");
  EXPECT_GT(MeanLuma(thm, 0, 120), 180.0);  // the bright part, after 2 s
}

TEST_F(TarnEncoderTest, CaptureThmOfAShortWideVideoTakesTheFirstPictureWithBlackBars) {
  const std::string thm = out / "Wide.THM";
  ASSERT_EQ(Entries().captureThm(Media().wideShort.c_str(), thm.c_str()), TARNENC_OK);
  auto picture = Probe(thm, "v:0");
  EXPECT_EQ(picture["width"], "160");
  EXPECT_EQ(picture["height"], "120");
  // 16:9 in 160x120 is 160x90: 15 black rows above and below.
  EXPECT_LT(MeanLuma(thm, 0, 12), 8.0);
  EXPECT_LT(MeanLuma(thm, 108, 120), 8.0);
  EXPECT_NEAR(MeanLuma(thm, 30, 90), 64.0, 12.0);
  EXPECT_DOUBLE_EQ(tarn::encoder::ThumbnailSeconds(1.5), 0.0);
}

// Each step with progress, cancelled at the first report and at a later one:
// it stops, leaves no destination and no temporary file.
TEST_F(TarnEncoderTest, ACancelledStepLeavesNoDestination) {
  for (int stopAfter : {0, 2}) {
    SCOPED_TRACE(stopAfter);
    ProgressLog p3gp{{}, stopAfter}, pSwf{{}, stopAfter}, pAudio{{}, stopAfter};
    const std::string d3gp = out / "a.3gp", dSwf = out / "b.swf", dAudio = out / "c.m4a";
    EXPECT_EQ(Entries().recreate3gp(Media().h263Aac3gp.c_str(), d3gp.c_str(), "3gp", "h263", "96k", "amr_nb", "12.2",
                                    &ProgressLog::Callback, &p3gp),
              TARNENC_ERROR_CANCELLED);
    EXPECT_EQ(Entries().remuxSwf(Media().swf.c_str(), dSwf.c_str(), "256k", "64k", &ProgressLog::Callback, &pSwf),
              TARNENC_ERROR_CANCELLED);
    EXPECT_EQ(Entries().convertAudio(Media().mp3.c_str(), dAudio.c_str(), "m4a", "aac", "128k", "44100", "2",
                                     &ProgressLog::Callback, &pAudio),
              TARNENC_ERROR_CANCELLED);
    for (const ProgressLog* p : {&p3gp, &pSwf, &pAudio}) EXPECT_EQ(p->values.size(), static_cast<size_t>(stopAfter + 1));
    EXPECT_TRUE(FolderNames().empty());
  }
}

// Bad inputs and arguments fail with their code and leave an existing
// destination as it was.
TEST_F(TarnEncoderTest, FailuresKeepAnExistingDestinationUntouched) {
  const std::string dest = out / "Keep.3gp";
  tarn::test::WriteFile(dest, "keep me");
  const std::string missing = out / "missing.3gp";
  const std::string notMedia = out / "notes.txt";
  tarn::test::WriteFile(notMedia, "this is not a media file");

  EXPECT_EQ(Entries().recreate3gp(missing.c_str(), dest.c_str(), "3gp", "h263", "96k", "amr_nb", "12.2", nullptr,
                                  nullptr),
            TARNENC_ERROR_INPUT);
  EXPECT_EQ(Entries().recreate3gp(notMedia.c_str(), dest.c_str(), "3gp", "h263", "96k", "amr_nb", "12.2", nullptr,
                                  nullptr),
            TARNENC_ERROR_INPUT);
  EXPECT_EQ(Entries().recreate3gp(Media().h263Aac3gp.c_str(), dest.c_str(), "3gp", "h263", "96k", "aac", "12.2",
                                  nullptr, nullptr),
            TARNENC_ERROR_ARGUMENT);
  EXPECT_EQ(Entries().recreate3gp(Media().h263Aac3gp.c_str(), dest.c_str(), "mkv", "h263", "96k", "amr_nb", "12.2",
                                  nullptr, nullptr),
            TARNENC_ERROR_ARGUMENT);
  EXPECT_EQ(Entries().remuxSwf(missing.c_str(), dest.c_str(), "", "", nullptr, nullptr), TARNENC_ERROR_INPUT);
  // H.263 video cannot go into an SWF file.
  EXPECT_EQ(Entries().remuxSwf(Media().h263Aac3gp.c_str(), dest.c_str(), "", "", nullptr, nullptr),
            TARNENC_ERROR_INPUT);
  EXPECT_EQ(Entries().convertAudio(missing.c_str(), dest.c_str(), "wav", "pcm_s16le", "128k", "44100", "2", nullptr,
                                   nullptr),
            TARNENC_ERROR_INPUT);
  EXPECT_EQ(Entries().convertAudio(Media().mp3.c_str(), dest.c_str(), "ogg", "vorbis", "128k", "44100", "2", nullptr,
                                   nullptr),
            TARNENC_ERROR_ARGUMENT);
  EXPECT_EQ(Entries().convertAudio(Media().mp3.c_str(), dest.c_str(), "wav", "pcm_s16le", "128k", "44100", "x",
                                   nullptr, nullptr),
            TARNENC_ERROR_ARGUMENT);
  EXPECT_EQ(Entries().convertAudio(nullptr, dest.c_str(), "wav", "pcm_s16le", "128k", "44100", "2", nullptr, nullptr),
            TARNENC_ERROR_ARGUMENT);
  EXPECT_EQ(Entries().captureThm(Media().mp3.c_str(), dest.c_str()), TARNENC_ERROR_INPUT);  // no video
  EXPECT_EQ(Entries().captureThm(missing.c_str(), nullptr), TARNENC_ERROR_ARGUMENT);

  EXPECT_EQ(tarn::test::ReadFile(dest), "keep me");
  EXPECT_EQ(FolderNames().size(), 2u);  // the kept destination and the text file
}

TEST_F(TarnEncoderTest, AnUnwritableOutputFolderFailsCleanly) {
  const std::string dest = out / "no-such-folder/Film.wav";
  EXPECT_EQ(Entries().convertAudio(Media().mp3.c_str(), dest.c_str(), "wav", "pcm_s16le", "128k", "44100", "2",
                                   nullptr, nullptr),
            TARNENC_ERROR_OUTPUT);
  EXPECT_TRUE(FolderNames().empty());
}

}  // namespace
