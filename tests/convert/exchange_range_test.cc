// The job range: pictures before the start are not stored, the first
// picture at the end ends the job once the ring is drained, audio is cut at
// sample precision, and the encoder receives exactly the chosen stretch, in
// step, through the process-wide callbacks too.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "RIDirud.h"
#include "convert/capture_callbacks.h"
#include "convert/encoder_callbacks.h"
#include "convert/encoder_feed.h"
#include "convert/frame_exchange.h"
#include "convert/job_range.h"
#include "convert/rip_job.h"
#include "convert/timestamp_repair.h"
#include "exchange_test_support.h"
#include "playback/core_position.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::NumberedPcm;
using test::PcmNumber;
using test::Picture;

constexpr int64_t kPalFrame = 400000;  // 25 fps
constexpr int kBlockSamples = 1536;
constexpr int64_t kSampleRate = 48000;

// Time of sample frame n at 48 kHz (100 ns, rounded down).
int64_t SampleTime(int64_t n) { return n * 10000000 / kSampleRate; }

class RangeTest : public ::testing::Test {
 protected:
  void SetUp() override { x.Reset(); }

  int Video(int64_t start) {
    auto p = Picture(static_cast<unsigned char>(start / kPalFrame));
    return repair.OnVideoFrame(test::kPictureWidth, test::kPictureHeight, 0, start, start + kPalFrame, p.data());
  }
  // Audio block k: samples k * 1536 ..., numbered by their index in the title.
  int Audio(int64_t k) {
    auto pcm = NumberedPcm(k * kBlockSamples, kBlockSamples);
    return repair.OnAudioBlock(2, 48000, kBlockSamples, SampleTime(k * kBlockSamples), pcm.data());
  }
  // Feeds the title from 0 to `seconds` as the engine would: pictures and
  // blocks in time order.
  void Capture(double seconds) {
    int64_t picture = 0, block = 0;
    const int64_t until = static_cast<int64_t>(seconds * 10000000);
    while (picture * kPalFrame < until || SampleTime(block * kBlockSamples) < until) {
      if (picture * kPalFrame <= SampleTime(block * kBlockSamples)) {
        Video(picture++ * kPalFrame);
      } else {
        Audio(block++);
      }
    }
  }

  FrameExchange& x = test::SharedExchange();
  JobRange range;
  test::FakeCapture env;
  TimestampRepair repair{x, range, env};
};

TEST_F(RangeTest, PicturesBeforeTheStartAreNotStoredButMoveTheClock) {
  SetJobRange(range, 5000000, kOpenRangeEnd);
  EXPECT_EQ(Video(4 * kPalFrame), 0);
  EXPECT_EQ(Video(12 * kPalFrame), 0);
  EXPECT_EQ(x.VideoCount(), 0);
  EXPECT_EQ(env.Reports().size(), 2u);
  EXPECT_EQ(Video(13 * kPalFrame), 1);  // 0.52 s
  ASSERT_EQ(x.VideoCount(), 1);
  EXPECT_EQ(x.Slot(0).pts, 13 * kPalFrame + kStoredVideoPtsOffset);
}

TEST_F(RangeTest, FirstPictureAtTheEndMarksItAndNothingLaterIsStored) {
  SetJobRange(range, 0, 20000000);
  EXPECT_EQ(Video(49 * kPalFrame), 1);  // 1.96 s
  EXPECT_EQ(range.endReached.load(), 0);
  EXPECT_EQ(Video(50 * kPalFrame), 0);  // 2.00 s
  EXPECT_EQ(range.endReached.load(), 1);
  EXPECT_EQ(Video(51 * kPalFrame), 0);
  EXPECT_EQ(x.VideoCount(), 1);
  SetJobRange(range, 0, 20000000);  // a new range clears the mark
  EXPECT_EQ(range.endReached.load(), 0);
}

TEST_F(RangeTest, AudioIsCutToTheRangeAtSamplePrecision) {
  // Start between samples 4800 (1,000,000) and 4801 (1,000,208); end between
  // 9600 (2,000,000) and 9601.
  SetJobRange(range, 1000100, 2000001);
  for (int64_t k = 0; k < 10; ++k) Audio(k);
  EXPECT_EQ(x.firstAudioPts.load(), SampleTime(4801));
  const int64_t frames = x.BytesBuffered() / 4;
  EXPECT_EQ(frames, 9601 - 4801);
  std::vector<unsigned char> out(static_cast<size_t>(frames) * 4);
  ASSERT_TRUE(x.TakeAudio(out.data(), frames));
  for (int64_t i = 0; i < frames; ++i) ASSERT_EQ(PcmNumber(out.data(), i), 4801 + i);
  EXPECT_EQ(x.JumpCount(), 0);  // the cut pieces join without a gap
}

TEST_F(RangeTest, TheEncoderReceivesExactlyTheRangeInStep) {
  const int64_t start = 5000000, end = 20000000;  // 0.5 s to 2.0 s
  SetJobRange(range, start, end);
  Capture(3.0);
  ASSERT_EQ(range.endReached.load(), 1);

  test::FakeEncoderEnvironment encoderEnv;
  EncoderFeed feed(x, range, encoderEnv);
  MediaInfo info{};
  ASSERT_GT(feed.FetchMediaInfo(&info), 0);

  // Pull as the encoder does: a picture, then audio up to its end.
  std::vector<unsigned char> picture(test::kPictureBytes);
  std::vector<int64_t> pictureTimes;
  std::vector<int64_t> samples;
  int64_t endUs = 0, pulled = 0;
  int guard = 0;
  while (feed.StopTest() == 0 && ++guard < 1000) {
    VideoRequest request{};
    request.time = -1;
    ASSERT_EQ(feed.SupplyVideoFrame(&request, picture.data()), 0);
    if (request.time < 0) continue;
    pictureTimes.push_back(request.time);
    endUs = request.time + request.duration;
    const int64_t target = endUs * kSampleRate / 1000000;
    if (target > pulled) {
      AudioRequest audio{};
      audio.count = target - pulled;
      std::vector<unsigned char> pcm(static_cast<size_t>(audio.count) * 4);
      ASSERT_EQ(feed.SupplyAudio(pcm.data(), &audio), 0);
      for (int64_t i = 0; i < audio.count; ++i) samples.push_back(PcmNumber(pcm.data(), i));
      pulled = target;
    }
  }
  // Pictures 0.52 .. 1.96 s: the first at time 0, the stretch as long as the
  // range within one picture.
  ASSERT_EQ(pictureTimes.size(), 37u);
  EXPECT_EQ(pictureTimes.front(), 0);
  EXPECT_LE(std::llabs(endUs * 10 - (end - start)), kPalFrame);
  // Audio starts with the sample of the first picture and runs without a
  // hole to the end of the range.
  ASSERT_EQ(static_cast<int64_t>(samples.size()), pulled);
  EXPECT_EQ(samples.front(), 13 * kPalFrame * kSampleRate / 10000000);  // sample 24,960 at 0.52 s
  for (size_t i = 1; i < samples.size(); ++i) ASSERT_EQ(samples[i], samples[i - 1] + 1) << i;
  EXPECT_LT(samples.back(), end * kSampleRate / 10000000);
}

// The C callbacks on the process-wide records: an engine thread feeds a
// trimmed title while the conversion thread pulls it like the encoder.
TEST(ExchangeProcessCallbacks, CaptureAndEncoderMeetThroughTheProcessWideRecords) {
  CorePosition& core = CurrentCorePosition();
  core.exists = 1;
  core.title = 1;
  core.domain = 4;
  core.width = 720;
  core.height = 576;
  core.aspectX = 4;
  core.aspectY = 3;
  ConversionState& cs = Conversion();
  cs.startTitle = 1;
  cs.startDomain = 4;
  Progress().endSeconds = 100;
  Progress().currentSeconds = 0;
  Progress().lengthSeconds = 2;
  ResetExchange();
  SetJobRange(RangeTimeFromSeconds(0.5), RangeTimeFromSeconds(2.0));
  cs.stopRequest = 0;
  cs.recording = 1;

  std::atomic<bool> engineRunning{true};
  std::thread engine([&] {
    int64_t picture = 0, block = 0;
    while (engineRunning && (picture * kPalFrame < 30000000)) {
      if (picture * kPalFrame <= SampleTime(block * kBlockSamples)) {
        std::vector<unsigned char> p(720 * 576 * 3 / 2, static_cast<unsigned char>(picture));
        OnVideoFrame(720, 576, 0, picture * kPalFrame, (picture + 1) * kPalFrame, p.data());
        ++picture;
      } else {
        auto pcm = NumberedPcm(block * kBlockSamples, kBlockSamples);
        OnAudioBlock(2, 48000, kBlockSamples, SampleTime(block * kBlockSamples), pcm.data());
        ++block;
      }
    }
  });

  MediaInfo info{};
  const int frames = FetchMediaInfo(&info);
  std::vector<unsigned char> picture(720 * 576 * 3 / 2);
  std::vector<unsigned char> firstPicture;
  int pictures = 0;
  int64_t endUs = 0, pulled = 0, firstSample = -1;
  bool samplesInStep = true;
  while (frames > 0 && StopTest() == 0) {
    VideoRequest request{};
    request.time = -1;
    if (SupplyVideoFrame(&request, picture.data()) < 0) break;
    if (request.time < 0) continue;
    if (pictures++ == 0) firstPicture = picture;
    endUs = request.time + request.duration;
    const int64_t target = endUs * kSampleRate / 1000000;
    if (target > pulled) {
      AudioRequest audio{};
      audio.count = target - pulled;
      std::vector<unsigned char> pcm(static_cast<size_t>(audio.count) * 4);
      if (SupplyAudio(nullptr, pcm.data(), &audio) < 0) break;
      if (firstSample < 0) firstSample = PcmNumber(pcm.data(), 0);
      if (PcmNumber(pcm.data(), 0) != firstSample + pulled) samplesInStep = false;
      pulled = target;
    }
  }
  engineRunning = false;
  cs.stopRequest = 1;
  engine.join();
  cs.recording = 0;
  ClearCorePosition();
  SetOpenJobRange();

  EXPECT_EQ(info.width, 720);
  EXPECT_EQ(info.height, 576);
  EXPECT_EQ(info.raten, 25);
  EXPECT_EQ(frames, 500);
  EXPECT_EQ(pictures, 37);
  ASSERT_FALSE(firstPicture.empty());
  EXPECT_EQ(firstPicture[0], 13);  // the picture at 0.52 s
  EXPECT_EQ(firstSample, 24960);
  EXPECT_TRUE(samplesInStep);
  EXPECT_LE(std::llabs(endUs * 10 - 15000000), kPalFrame);
}

}  // namespace
}  // namespace tarn
