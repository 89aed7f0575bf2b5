// The encoder's callbacks on the frame exchange: the media description with
// its waits, alignment and frame-rate bands, picture and audio supply, and
// the stop test.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "RIDirud.h"
#include "convert/encoder_feed.h"
#include "convert/frame_exchange.h"
#include "convert/job_range.h"
#include "exchange_test_support.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::NumberedPcm;
using test::PcmNumber;
using test::Picture;

struct RateCase {
  double fps;
  int32_t seconds;
  int32_t raten, rated, frames;
};

TEST(ExchangeFrameRate, BandsUseSinglePrecisionConstants) {
  const RateCase cases[] = {
      {29.97, 600, 5000000, 166833, 179819},  // 600 x 29.969999313354492 x 10
      {23.976, 600, 4000000, 166833, 143819},
      {50.0, 600, 5000000, 166833, 179819},   // outside every band
      {25.0, 600, 25, 1, 150000},
      {24.95, 10, 25, 1, 2500},
      {23.87, 600, 5000000, 166833, 179819},  // the band limits are exclusive
      {24.07, 600, 5000000, 166833, 179819},
      {30.0, 1, 5000000, 166833, 299},
      {0.0, 600, 5000000, 166833, 179819},
  };
  for (const RateCase& c : cases) {
    FrameRateChoice r = ChooseFrameRate(c.fps, c.seconds);
    EXPECT_EQ(r.raten, c.raten) << c.fps;
    EXPECT_EQ(r.rated, c.rated) << c.fps;
    EXPECT_EQ(r.numFrames, c.frames) << c.fps;
  }
}

class EncoderFeedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    x.Reset();
    SetJobRange(range, 0, kOpenRangeEnd);
  }

  // Stores a picture with repaired time `t` (100 ns) and the given duration.
  void Put(int64_t t, int32_t duration = 400000, unsigned char marker = 1) {
    auto p = Picture(marker);
    ASSERT_TRUE(x.PutVideo(test::kPictureWidth, test::kPictureHeight, p.data(), t, duration));
  }
  // Stores `frames` sample frames numbered from `first`, stamped `pts`.
  void PutPcm(int64_t first, int64_t frames, int64_t pts) {
    auto pcm = NumberedPcm(first, frames);
    ASSERT_TRUE(x.PutAudio(pcm.data(), frames * 4, pts));
  }

  FrameExchange& x = test::SharedExchange();
  JobRange range;
  test::FakeEncoderEnvironment env;
  EncoderFeed feed{x, range, env};
  test::LogCapture log;
};

TEST_F(EncoderFeedTest, MediaInfoAlignsTheFirstPictureWithTheAudio) {
  // Audio from 0.5 s, pictures (25 fps) from 0.2 s.
  PutPcm(0, 48000, 5000000);
  for (int i = 0; i < 20; ++i) Put(2000000 + i * 400000, 400000, static_cast<unsigned char>(i));
  MediaInfo info{};
  env.lengthSeconds = 600;
  const int frames = feed.FetchMediaInfo(&info);
  EXPECT_EQ(frames, 150000);
  EXPECT_EQ(env.recordModeCalls.load(), 1);
  // The first picture that does not start before the audio: 0.52 s, the 9th.
  EXPECT_EQ(x.beginPts.load(), 5200000 + kStoredVideoPtsOffset);
  EXPECT_EQ(x.ReadIndex(), 8);
  // 0.02 s of audio lies before it: 3,840 bytes are skipped.
  EXPECT_EQ(x.ReadOffset(), 3840);
  EXPECT_EQ(info.width, 720);
  EXPECT_EQ(info.height, 480);
  EXPECT_EQ(info.raten, 25);
  EXPECT_EQ(info.rated, 1);
  EXPECT_EQ(info.aspectn, 100000);
  EXPECT_EQ(info.aspectd, 112500);  // 720x480 shown at 4:3
  EXPECT_EQ(info.audio_samples_per_second, 48000);
  EXPECT_EQ(info.nchannels, 2);
  EXPECT_EQ(info.sample_type, 0);
  EXPECT_TRUE(log.Contains("Begin Fetch media info!\n"));
  EXPECT_TRUE(log.Contains("Cal fps:25.000000, timelength:800000\n"));
  EXPECT_TRUE(log.Contains("End Fetch media info: width:720, height:480; \nraten:25, rated:1"));

  // The first supplied picture is the aligned one at time 0.
  VideoRequest request{};
  std::vector<unsigned char> out(test::kPictureBytes);
  ASSERT_EQ(feed.SupplyVideoFrame(&request, out.data()), 0);
  EXPECT_EQ(request.time, 0);
  EXPECT_EQ(request.time2, 0);
  EXPECT_EQ(request.duration, 40000);
  EXPECT_EQ(out[0], 8);
  // The first audio sample handed out lies at 0.52 s.
  AudioRequest audio{};
  audio.count = 10;
  std::vector<unsigned char> pcm(40);
  ASSERT_EQ(feed.SupplyAudio(pcm.data(), &audio), 0);
  EXPECT_EQ(PcmNumber(pcm.data(), 0), 960);
}

TEST_F(EncoderFeedTest, MediaInfoMeasuresNtscAndSixteenNine) {
  PutPcm(0, 4800, 0);
  for (int i = 0; i < 8; ++i) Put(i * test::kNtscFrame, test::kNtscFrame);
  env.aspectX = 16;
  env.aspectY = 9;
  MediaInfo info{};
  EXPECT_EQ(feed.FetchMediaInfo(&info), 179819);
  EXPECT_EQ(info.raten, 5000000);
  EXPECT_EQ(info.rated, 166833);
  EXPECT_EQ(info.aspectd, static_cast<int32_t>(1.5f / (16.0f / 9.0f) * 100000.0f));
  EXPECT_EQ(x.ReadOffset(), 0);
}

TEST_F(EncoderFeedTest, NoMaterialForTwentySecondsGivesTheFallbackAndStops) {
  MediaInfo info{};
  EXPECT_EQ(feed.FetchMediaInfo(&info), -1);
  EXPECT_GT(env.now.load(), 20000);
  EXPECT_TRUE(env.stop.load());
  EXPECT_TRUE(log.Contains("Wait for video and audio frame get 1 frames:0, 0\n"));
  EXPECT_TRUE(log.Contains("Detect video data transfer error!\n"));
  EXPECT_EQ(info.width, 720);
  EXPECT_EQ(info.height, 480);
  EXPECT_EQ(info.raten, 5000000);
  EXPECT_EQ(info.rated, 166833);
  EXPECT_EQ(info.aspectn, 0);
  EXPECT_EQ(info.aspectd, 1);
  EXPECT_EQ(info.num_frames, 185155);
  EXPECT_EQ(info.num_audio_samples, 272450824);
  EXPECT_EQ(info.sample_type, 2);
  EXPECT_EQ(info.nchannels, 2);
}

TEST_F(EncoderFeedTest, FirstWaitKeepsOnlyTheNewestPictures) {
  for (int i = 0; i < 10; ++i) Put(i * 400000);
  std::thread audio([&] {
    while (env.now.load() < 300) std::this_thread::yield();
    PutPcm(0, 48000, 0);
  });
  env.realSleepMicroseconds = 200;
  MediaInfo info{};
  // Pictures dropped down to 2 while waiting for audio; then too few
  // pictures come to measure, so the range end lets it go on.
  range.endReached = 1;
  EXPECT_GT(feed.FetchMediaInfo(&info), 0);
  audio.join();
  EXPECT_EQ(x.ReadIndex(), 8);
}

TEST_F(EncoderFeedTest, OldSavedJumpsAreDroppedAndTheirGapsShortenTheSkip) {
  PutPcm(0, 96000, 0);
  for (int i = 0; i < 8; ++i) Put(10000000 + i * 400000);
  // A 0.25 s gap seen at 0.5 s: the ring lacks those 0.25 s of audio.
  x.SaveJump(AudioJump{5000000, 2500000});
  MediaInfo info{};
  ASSERT_GT(feed.FetchMediaInfo(&info), 0);
  EXPECT_TRUE(log.Contains("Get a audio jump, process it here\n"));
  EXPECT_TRUE(log.Contains("Drop all audio jumps\n"));
  EXPECT_EQ(x.JumpCount(), 0);
  // (1.0 s - 0 - 0.25 s) x 192,000 bytes.
  EXPECT_EQ(x.ReadOffset(), 144000);
}

TEST_F(EncoderFeedTest, ARecentJumpMakesTheStartWaitForPicturesPastIt) {
  PutPcm(0, 96000, 0);
  x.lastAudioPts = 15000000;
  for (int i = 0; i < 12; ++i) Put(i * 400000);
  x.SaveJump(AudioJump{2000000, 500000});  // a gap at 0.2 s
  MediaInfo info{};
  ASSERT_GT(feed.FetchMediaInfo(&info), 0);
  EXPECT_TRUE(log.Contains("Wait for right video and audio pts all bigger then last jump pts\n"));
  EXPECT_TRUE(log.Contains("Get right video and audio pts all bigger then last jump pts: " +
                           std::to_string(2000000 + kStoredVideoPtsOffset) + "\n"));
  EXPECT_EQ(x.beginPts.load(), 2000000 + kStoredVideoPtsOffset);
  // (0.2 s - 0 - 0.05 s) x 192,000 bytes.
  EXPECT_EQ(x.ReadOffset(), 28800);
}

TEST_F(EncoderFeedTest, AlignmentTimesOutAfterTenSeconds) {
  PutPcm(0, 4800, 50000000);  // audio from 5 s
  Put(0);                     // one picture, earlier
  MediaInfo info{};
  EXPECT_EQ(feed.FetchMediaInfo(&info), -1);
  EXPECT_TRUE(log.Contains("wait for video frame too long time, stop ripper process\n"));
  EXPECT_TRUE(env.stop.load());
}

TEST_F(EncoderFeedTest, SinglePictureIsServedOnlyOnceASecondArrives) {
  x.beginPts = 1000000 + kStoredVideoPtsOffset;
  Put(1000000, 400000, 11);
  std::atomic<bool> secondStored{false};
  std::thread producer([&] {
    while (env.now.load() < 40) std::this_thread::yield();
    secondStored = true;
    Put(1400000, 400000, 12);
  });
  env.realSleepMicroseconds = 100;
  VideoRequest request{};
  request.time = request.time2 = -7;
  std::vector<unsigned char> out(test::kPictureBytes);
  ASSERT_EQ(feed.SupplyVideoFrame(&request, out.data()), 0);
  producer.join();
  EXPECT_TRUE(secondStored.load());
  EXPECT_EQ(out[0], 11);
  EXPECT_EQ(request.time, 0);
  EXPECT_EQ(request.duration, 40000);
  EXPECT_EQ(x.VideoCount(), 1);
  EXPECT_GT(env.nudges.load(), 0);  // no audio: the clock was nudged
}

TEST_F(EncoderFeedTest, RequestTimesAreMicrosecondsFromTheStart) {
  x.beginPts = 2000000 + kStoredVideoPtsOffset;
  Put(2000000);
  Put(2333667);
  Put(2667334);
  VideoRequest request{};
  std::vector<unsigned char> out(test::kPictureBytes);
  ASSERT_EQ(feed.SupplyVideoFrame(&request, out.data()), 0);
  ASSERT_EQ(feed.SupplyVideoFrame(&request, out.data()), 0);
  EXPECT_EQ(request.time, 33366);
  EXPECT_EQ(request.time2, 33366);
  EXPECT_EQ(request.duration, 33366);
}

TEST_F(EncoderFeedTest, OutOfRangeAnswersWithoutSupplyingAndStopAnswersMinusOne) {
  Put(0);
  env.leftTitle = true;
  range.endReached = 0;
  VideoRequest request{};
  request.time = -7;
  std::vector<unsigned char> out(test::kPictureBytes);
  // The title's last picture is still handed out, with its own duration.
  ASSERT_EQ(feed.SupplyVideoFrame(&request, out.data()), 0);
  EXPECT_EQ(request.duration, 40000);
  EXPECT_EQ(x.VideoCount(), 0);
  request.time = -7;
  EXPECT_EQ(feed.SupplyVideoFrame(&request, out.data()), 0);
  EXPECT_EQ(request.time, -7);  // nothing supplied
  env.stop = true;
  EXPECT_EQ(feed.SupplyVideoFrame(&request, out.data()), -1);
  AudioRequest audio{};
  audio.count = 1152;
  std::vector<unsigned char> pcm(4608);
  EXPECT_EQ(feed.SupplyAudio(pcm.data(), &audio), -1);
}

TEST_F(EncoderFeedTest, AudioRequestTakesExactlyItsFrames) {
  PutPcm(0, 3000, 0);
  AudioRequest audio{};
  audio.count = (int64_t{7} << 32) | 1152;  // only the low 32 bits count
  std::vector<unsigned char> pcm(4608);
  ASSERT_EQ(feed.SupplyAudio(pcm.data(), &audio), 0);
  EXPECT_EQ(PcmNumber(pcm.data(), 0), 0);
  EXPECT_EQ(PcmNumber(pcm.data(), 1151), 1151);
  EXPECT_EQ(x.ReadOffset(), 4608);
  ASSERT_EQ(feed.SupplyAudio(pcm.data(), &audio), 0);
  EXPECT_EQ(PcmNumber(pcm.data(), 0), 1152);
  // 696 frames left: a third request waits; out of range it returns at once.
  env.leftTitle = true;
  EXPECT_EQ(feed.SupplyAudio(pcm.data(), &audio), 0);
  EXPECT_EQ(x.BytesBuffered(), 696 * 4);
  EXPECT_EQ(x.UnitsAvailable(), 0);
}

TEST_F(EncoderFeedTest, AudioRequestUnsatisfiedForTenSecondsStopsTheConversion) {
  PutPcm(0, 100, 0);
  AudioRequest audio{};
  audio.count = 1152;
  std::vector<unsigned char> pcm(4608);
  EXPECT_EQ(feed.SupplyAudio(pcm.data(), &audio), -1);
  EXPECT_GT(env.now.load(), 10000);
  EXPECT_LT(env.now.load(), 10100);
  EXPECT_TRUE(env.stop.load());
  EXPECT_TRUE(log.Contains("wait for audio too long time, stop ripper process\n"));
  EXPECT_EQ(x.BytesBuffered(), 400);
}

TEST_F(EncoderFeedTest, StopTestDrainsTheRingBeforeEndingTheJob) {
  EXPECT_EQ(feed.StopTest(), 0);
  Put(0);
  Put(400000);
  range.endReached = 1;
  EXPECT_EQ(feed.StopTest(), 0);  // two pictures of the range still waiting
  VideoRequest request{};
  std::vector<unsigned char> out(test::kPictureBytes);
  ASSERT_EQ(feed.SupplyVideoFrame(&request, out.data()), 0);
  ASSERT_EQ(feed.SupplyVideoFrame(&request, out.data()), 0);
  EXPECT_EQ(x.VideoCount(), 0);
  EXPECT_EQ(feed.StopTest(), 1);
  EXPECT_TRUE(log.Contains("Detect convert time bigger then stop time, stop ripper process\n"));

  range.endReached = 0;
  env.leftTitle = true;
  EXPECT_EQ(feed.StopTest(), 1);
  EXPECT_TRUE(log.Contains("Detect title changed or domain changed, stop ripper process\n"));
  env.leftTitle = false;
  env.stop = true;
  EXPECT_EQ(feed.StopTest(), 1);
}

struct PositionCase {
  int64_t rangeEnd;
  int32_t currentSeconds, endSeconds;
  bool stops;
};

TEST(ExchangePositionTest, BacksUpTheRangeEndWithoutCuttingItShort) {
  const PositionCase cases[] = {
      {kOpenRangeEnd, 59, 60, false},  {kOpenRangeEnd, 60, 60, true},   // open: the job's stop
      {600000000, 59, 59, false},      {600000000, 60, 59, false},      // the range's last second
      {600000000, 61, 59, true},       {605000000, 60, 60, false},
      {605000000, 61, 60, true},       {605000000, 61, 62, false},      // never before the job's stop
  };
  for (const PositionCase& c : cases) {
    JobRange range;
    SetJobRange(range, 0, c.rangeEnd);
    EXPECT_EQ(PositionPastJobEnd(range, c.currentSeconds, c.endSeconds), c.stops)
        << c.rangeEnd << " " << c.currentSeconds << " " << c.endSeconds;
  }
}

TEST_F(EncoderFeedTest, StopTestFollowsThePositionTest) {
  env.currentSeconds = 60;
  env.endSeconds = 59;
  EXPECT_EQ(feed.StopTest(), 1);  // open range
  EXPECT_TRUE(log.Contains("Detect convert time bigger then stop time, stop ripper process\n"));
  SetJobRange(range, 0, 600000000);
  EXPECT_EQ(feed.StopTest(), 0);
  env.currentSeconds = 61;
  EXPECT_EQ(feed.StopTest(), 1);
}

TEST_F(EncoderFeedTest, EncoderTextIsLoggedUnchanged) {
  feed.EncoderLog("RIDirud: wrote x.mp4: 12 video frames\n");
  EXPECT_TRUE(log.Contains("RIDirud: wrote x.mp4: 12 video frames\n"));
}

}  // namespace
}  // namespace tarn
