// AudioDecoder on real program streams made with ffmpeg: every DVD coding
// comes out as 48 kHz stereo 16-bit with the right length, pitch and times.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio_decoder.h"
#include "tarnplayer_decode_streams.h"
#include "test_support.h"

namespace tarnplayer {
namespace {

using test::RunFfmpeg;

struct AudioCase {
  const char* name;
  const char* source;   // lavfi source
  const char* encode;   // ffmpeg output options
  AudioCoding coding;
  int streamId, substream;
  double frequency;
};

// Counts rising zero crossings of one channel between two sample indices.
double Frequency(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to) {
  int crossings = 0;
  for (size_t i = from + 1; i < to; ++i) {
    if (stereo[2 * (i - 1) + channel] < 0 && stereo[2 * i + channel] >= 0) ++crossings;
  }
  return crossings * 48000.0 / static_cast<double>(to - from);
}

double Rms(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(stereo[2 * i + channel]) * stereo[2 * i + channel];
  return std::sqrt(sum / static_cast<double>(to - from));
}

class AudioDecoderTest : public ::testing::TestWithParam<AudioCase> {};

TEST_P(AudioDecoderTest, DecodesToStereo48kWithLengthPitchAndTimes) {
  const AudioCase& c = GetParam();
  tarn::test::TempDir dir;
  const std::string vob = dir / "audio.vob";
  ASSERT_TRUE(RunFfmpeg(std::string("-f lavfi -i ") + c.source + " " + c.encode + " -f vob " + vob));
  const auto packets = test::ReadProgramStream(vob);

  AudioDecoder decoder;
  ASSERT_TRUE(decoder.Open(c.coding));
  std::vector<DecodedAudio> blocks;
  for (const auto& pes : packets) {
    if (test::IsStream(pes, c.streamId, c.substream))
      decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, blocks);
  }
  ASSERT_FALSE(blocks.empty());

  std::vector<int16_t> all;
  for (const DecodedAudio& b : blocks) all.insert(all.end(), b.samples.begin(), b.samples.end());
  ASSERT_EQ(all.size() % 2, 0u);
  const size_t frames = all.size() / 2;
  // Two seconds of tone; codecs add or keep back up to a frame or two.
  EXPECT_NEAR(static_cast<double>(frames), 96000.0, 4000.0);

  const size_t from = 24000, to = 72000;  // the steady middle second
  for (int channel = 0; channel < 2; ++channel) {
    SCOPED_TRACE(channel);
    EXPECT_NEAR(Frequency(all, channel, from, to), c.frequency, c.frequency * 0.03);
    EXPECT_GT(Rms(all, channel, from, to), 1000.0);
  }

  // Times: the first block starts at the stream's first stamp, and each block
  // either follows the last by its sample count or takes a stamp of the
  // stream (ffmpeg's LPCM stamps jump by a packet now and then).
  const int64_t firstPts = test::FirstPts(packets, c.streamId, c.substream);
  std::vector<int64_t> stamps;
  for (const auto& pes : packets)
    if (test::IsStream(pes, c.streamId, c.substream) && pes.pts >= 0) stamps.push_back(pes.pts);
  ASSERT_GE(blocks.front().pts90k, 0);
  EXPECT_NEAR(static_cast<double>(blocks.front().pts90k), static_cast<double>(firstPts), 90.0);
  int64_t expected = blocks.front().pts90k;
  size_t followed = 0;
  for (size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE(i);
    const int64_t pts = blocks[i].pts90k;
    ASSERT_GE(pts, 0);
    if (std::llabs(pts - expected) <= 90) {
      ++followed;
    } else {
      EXPECT_TRUE(std::any_of(stamps.begin(), stamps.end(), [pts](int64_t s) { return std::llabs(s - pts) <= 90; }))
          << pts << " expected " << expected;
    }
    expected = pts + static_cast<int64_t>(blocks[i].samples.size() / 2) * 90000 / 48000;
  }
  EXPECT_GT(followed, blocks.size() * 3 / 4);
}

constexpr const char* kSine440 = "sine=frequency=440:sample_rate=48000:duration=2";
// The tone on every channel but the LFE, which a stereo downmix leaves out.
constexpr const char* kSixChannels440 =
    "\"aevalsrc=0.4*sin(440*2*PI*t)|0.4*sin(440*2*PI*t)|0.4*sin(440*2*PI*t)|0|"
    "0.4*sin(440*2*PI*t)|0.4*sin(440*2*PI*t):c=5.1(side):s=48000:d=2\"";

INSTANTIATE_TEST_SUITE_P(
    Codings, AudioDecoderTest,
    ::testing::Values(
        AudioCase{"Ac3SixChannels", kSixChannels440, "-c:a ac3 -b:a 384k", AudioCoding::AC3, 0xBD, 0x80, 440},
        AudioCase{"Ac3Stereo", kSine440, "-ac 2 -c:a ac3", AudioCoding::AC3, 0xBD, 0x80, 440},
        AudioCase{"Mp2", kSine440, "-ac 2 -c:a mp2 -b:a 224k", AudioCoding::MPEG, 0xC0, -1, 440},
        AudioCase{"Mp2At44100", "sine=frequency=550:sample_rate=44100:duration=2",
                  "-ac 2 -c:a mp2 -b:a 224k", AudioCoding::MPEG, 0xC0, -1, 550},
        AudioCase{"Lpcm16Stereo", kSine440, "-ac 2 -c:a pcm_dvd", AudioCoding::LPCM, 0xBD, 0xA0, 440},
        AudioCase{"Lpcm24At96k", "sine=frequency=660:sample_rate=96000:duration=2",
                  "-ac 2 -c:a pcm_dvd -sample_fmt s32", AudioCoding::LPCM, 0xBD, 0xA0, 660},
        AudioCase{"LpcmSixChannels", kSixChannels440, "-c:a pcm_dvd", AudioCoding::LPCM, 0xBD, 0xA0, 440},
        AudioCase{"Dts", kSine440, "-ac 2 -c:a dca -strict -2", AudioCoding::DTS, 0xBD, 0x88, 440}),
    [](const ::testing::TestParamInfo<AudioCase>& param) { return std::string(param.param.name); });

struct DiscStream {
  const char* name;
  AudioCoding coding;
  int streamId, substream;
};

class FeatureDiscAudio : public ::testing::TestWithParam<DiscStream> {};

// The three audio streams of the feature disc's first title (AC-3 5.1, MPEG-1
// stereo, LPCM stereo) all carry its 440 Hz tone; ten seconds of each.
TEST_P(FeatureDiscAudio, DecodesTheTitlesTone) {
  const DiscStream& c = GetParam();
  static const auto* packets = new std::vector<test::TestPes>(
      test::ReadProgramStream(std::string(TARN_TEST_DISCS_DIR) + "feature/VIDEO_TS/VTS_01_1.VOB"));
  const int64_t firstPts = test::FirstPts(*packets, c.streamId, c.substream);
  ASSERT_GE(firstPts, 0) << "the feature disc is missing";
  AudioDecoder decoder;
  ASSERT_TRUE(decoder.Open(c.coding));
  std::vector<DecodedAudio> blocks;
  for (const auto& pes : *packets) {
    if (!test::IsStream(pes, c.streamId, c.substream)) continue;
    if (pes.pts >= 0 && pes.pts > firstPts + 10 * 90000) break;
    decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, blocks);
  }
  std::vector<int16_t> all;
  for (const DecodedAudio& b : blocks) all.insert(all.end(), b.samples.begin(), b.samples.end());
  EXPECT_NEAR(all.size() / 2.0, 480000.0, 4800.0);
  for (int channel = 0; channel < 2; ++channel) {
    EXPECT_NEAR(Frequency(all, channel, 48000, 432000), 440.0, 5.0);
    // The 5.1 stream holds the tone in its centre only, which the downmix lowers.
    EXPECT_GT(Rms(all, channel, 48000, 432000), 500.0);
  }
  EXPECT_NEAR(static_cast<double>(blocks.front().pts90k), static_cast<double>(firstPts), 90.0);
}

INSTANTIATE_TEST_SUITE_P(Streams, FeatureDiscAudio,
                         ::testing::Values(DiscStream{"Ac3", AudioCoding::AC3, 0xBD, 0x80},
                                           DiscStream{"Mpeg", AudioCoding::MPEG, 0xC0, -1},
                                           DiscStream{"Lpcm", AudioCoding::LPCM, 0xBD, 0xA0}),
                         [](const ::testing::TestParamInfo<DiscStream>& param) {
                           return std::string(param.param.name);
                         });

// A proper downmix keeps a left-surround tone on the left and out of the right.
TEST(AudioDecoderDownmix, SurroundChannelsLandOnTheirSide) {
  tarn::test::TempDir dir;
  const std::string vob = dir / "surround.vob";
  ASSERT_TRUE(RunFfmpeg(
      "-f lavfi -i \"aevalsrc=0|0|0|0|0.5*sin(500*2*PI*t)|0:c=5.1:s=48000:d=1\" -c:a ac3 -b:a 384k "
      "-f vob " + vob));
  const auto packets = test::ReadProgramStream(vob);
  AudioDecoder decoder;
  ASSERT_TRUE(decoder.Open(AudioCoding::AC3));
  std::vector<DecodedAudio> blocks;
  for (const auto& pes : packets)
    if (test::IsStream(pes, 0xBD, 0x80)) decoder.Decode(pes.payload.data(), pes.payload.size(), pes.pts, blocks);
  std::vector<int16_t> all;
  for (const DecodedAudio& b : blocks) all.insert(all.end(), b.samples.begin(), b.samples.end());
  ASSERT_GT(all.size(), 2u * 40000);
  const double left = Rms(all, 0, 10000, 40000), right = Rms(all, 1, 10000, 40000);
  EXPECT_GT(left, 1000.0);
  EXPECT_LT(right, left * 0.1);
}

// After a flush the decoder starts cleanly in the middle of a stream and
// extrapolates times for packets without a stamp from the last one it had.
TEST(AudioDecoderFlush, RestartsMidStream) {
  tarn::test::TempDir dir;
  const std::string vob = dir / "mp2.vob";
  ASSERT_TRUE(RunFfmpeg(std::string("-f lavfi -i ") + kSine440 + " -ac 2 -c:a mp2 -f vob " + vob));
  auto packets = test::ReadProgramStream(vob);
  std::vector<const test::TestPes*> audio;
  for (const auto& pes : packets)
    if (pes.streamId == 0xC0) audio.push_back(&pes);
  ASSERT_GT(audio.size(), 6u);
  AudioDecoder decoder;
  ASSERT_TRUE(decoder.Open(AudioCoding::MPEG));
  std::vector<DecodedAudio> blocks;
  decoder.Decode(audio[0]->payload.data(), audio[0]->payload.size(), audio[0]->pts, blocks);
  decoder.Flush();
  blocks.clear();
  const size_t middle = audio.size() / 2;
  ASSERT_GE(audio[middle]->pts, 0);
  decoder.Decode(audio[middle]->payload.data(), audio[middle]->payload.size(), audio[middle]->pts, blocks);
  for (size_t i = middle + 1; i < audio.size(); ++i)
    decoder.Decode(audio[i]->payload.data(), audio[i]->payload.size(), -1, blocks);
  ASSERT_GT(blocks.size(), 2u);
  EXPECT_NEAR(static_cast<double>(blocks.front().pts90k), static_cast<double>(audio[middle]->pts), 90.0);
  int64_t expected = blocks.front().pts90k;
  for (const DecodedAudio& b : blocks) {
    EXPECT_EQ(b.pts90k, expected);
    expected += static_cast<int64_t>(b.samples.size() / 2) * 90000 / 48000;
  }
}

}  // namespace
}  // namespace tarnplayer
