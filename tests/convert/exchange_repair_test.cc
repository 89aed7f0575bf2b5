// The timestamp repair behind the capture callbacks: duplicates, saved audio
// jumps and the video time line they shift, the 1-second rule, refusals out
// of range, the preview answers, and the full-ring wait that loses nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "convert/frame_exchange.h"
#include "convert/job_range.h"
#include "convert/timestamp_repair.h"
#include "exchange_test_support.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::kAc3Block;
using test::kNtscFrame;
using test::NumberedPcm;
using test::Picture;

class RepairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    x.Reset();
    SetJobRange(range, 0, kOpenRangeEnd);
  }

  int Video(int64_t start, int64_t duration = kNtscFrame, unsigned char marker = 1) {
    auto p = Picture(marker);
    return repair.OnVideoFrame(test::kPictureWidth, test::kPictureHeight, 5000, start, start + duration, p.data());
  }
  int Audio(int64_t start, int samples = 1536) {
    auto pcm = NumberedPcm(0, samples);
    return repair.OnAudioBlock(2, 48000, samples, start, pcm.data());
  }

  FrameExchange& x = test::SharedExchange();
  JobRange range;
  test::FakeCapture env;
  TimestampRepair repair{x, range, env};
  test::LogCapture log;
};

TEST_F(RepairTest, SteadyFramesKeepTheirTimesFromTheTitlesFirstPicture) {
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Video(i * kNtscFrame), 1);
  ASSERT_EQ(x.VideoCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(x.Slot(i).pts, i * kNtscFrame + kStoredVideoPtsOffset);
  EXPECT_EQ(x.videoCalPts.load(), 2 * kNtscFrame);
  EXPECT_EQ(x.Slot(0).duration, kNtscFrame);
  EXPECT_EQ(env.Reports().size(), 3u);
  EXPECT_FALSE(log.Contains("jump"));
}

TEST_F(RepairTest, DuplicateFrameIsDroppedButStillPreviewed) {
  ASSERT_EQ(Video(1000000), 1);
  EXPECT_EQ(Video(1000000), 1);
  EXPECT_EQ(Video(900000), 1);
  EXPECT_EQ(x.VideoCount(), 1);
  EXPECT_TRUE(log.Contains("Get duplicate Video frame last pts:1000000, cur pts:1000000\n"));
  EXPECT_TRUE(log.Contains("Get duplicate Video frame last pts:1000000, cur pts:900000\n"));

  ASSERT_EQ(Audio(2000000), 1);
  EXPECT_EQ(Audio(2000000), 1);
  EXPECT_TRUE(log.Contains("Get duplicate audio frame last pts:2000000, curPts:2000000\n"));
  EXPECT_EQ(x.BytesBuffered(), 1536 * 4);
}

TEST_F(RepairTest, OutsideARecordingOnlyThePreviewQuestionIsAnswered) {
  env.recording = false;
  env.clockMode = 1;
  EXPECT_EQ(Video(1000), 0);
  env.clockMode = 0;
  EXPECT_EQ(Video(2000), 1);
  env.seekPending = true;
  EXPECT_EQ(Audio(1000), -1);
  env.seekPending = false;
  EXPECT_EQ(Audio(2000), 0);
  EXPECT_EQ(x.VideoCount(), 0);
  EXPECT_EQ(x.BytesBuffered(), 0);
  EXPECT_TRUE(env.Reports().empty());
}

TEST_F(RepairTest, StopRequestAndEmptyInputStoreNothing) {
  env.stop = true;
  EXPECT_EQ(Video(1000), 1);
  EXPECT_EQ(Audio(1000), 1);
  env.stop = false;
  EXPECT_EQ(repair.OnVideoFrame(16, 16, 0, 1000, 2000, nullptr), 1);
  EXPECT_EQ(repair.OnVideoFrame(0, 16, 0, 1000, 2000, Picture(1).data()), 1);
  EXPECT_EQ(repair.OnAudioBlock(2, 48000, 0, 1000, NumberedPcm(0, 1).data()), 1);
  EXPECT_EQ(x.VideoCount(), 0);
  EXPECT_EQ(x.BytesBuffered(), 0);
}

TEST_F(RepairTest, TitleChangeRefusesEveryLaterFrameAndBlock) {
  ASSERT_EQ(Video(0), 1);
  ASSERT_EQ(Audio(0), 1);
  env.leftTitle = true;
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(Video(i * kNtscFrame), 0);
    EXPECT_EQ(Audio(i * kAc3Block), 1);
  }
  EXPECT_EQ(x.VideoCount(), 1);
  EXPECT_EQ(x.BytesBuffered(), 1536 * 4);
}

TEST_F(RepairTest, PositionTestOnlyBacksUpARangeEnd) {
  env.currentSeconds = 9;
  env.endSeconds = 9;
  EXPECT_EQ(Video(0), 0);  // open range: the whole-second test is the stop
  EXPECT_EQ(x.VideoCount(), 0);
  // A range ending at 10.5 s: the picture times decide up to there...
  SetJobRange(range, 0, 105000000);
  env.currentSeconds = 10;
  EXPECT_EQ(Video(0), 1);
  EXPECT_EQ(Audio(0), 1);
  EXPECT_EQ(x.VideoCount(), 1);
  // ...and a position wholly past the end stops the job all the same.
  env.currentSeconds = 11;
  EXPECT_EQ(Video(kNtscFrame), 0);
  EXPECT_EQ(Audio(kAc3Block), 1);
  EXPECT_EQ(x.VideoCount(), 1);
  EXPECT_EQ(x.BytesBuffered(), 1536 * 4);
}

TEST_F(RepairTest, ContiguousAudioBlocksSaveNoJump) {
  for (int i = 0; i < 4; ++i) ASSERT_EQ(Audio(1000000 + i * kAc3Block), 1);
  EXPECT_EQ(x.JumpCount(), 0);
  EXPECT_EQ(x.BytesBuffered(), 4 * 1536 * 4);
  EXPECT_EQ(x.firstAudioPts.load(), 1000000);
  EXPECT_EQ(x.lastBlockDuration.load(), kAc3Block);
}

TEST_F(RepairTest, ALongFirstBlockIsNoJump) {
  // 2000 samples last 416,666 units, longer than the 32 ms jump limit.
  ASSERT_EQ(Audio(0, 2000), 1);
  ASSERT_EQ(Audio(416666, 1536), 1);
  EXPECT_EQ(x.JumpCount(), 0);
  EXPECT_FALSE(log.Contains("Find audio lost frame"));
}

TEST_F(RepairTest, AudioGapIsSavedAndShiftsTheVideoTimeLineWhenVideoJumpsToo) {
  // Video and audio run together up to 0.5 s.
  int64_t v = 0;
  for (; v <= 5000000; v += kNtscFrame) ASSERT_EQ(Video(v), 1);
  ASSERT_EQ(Audio(0), 1);
  ASSERT_EQ(Audio(kAc3Block), 1);
  // Audio comes back 2 s later than expected.
  const int64_t jumpPts = 2 * kAc3Block + 20000000;
  ASSERT_EQ(Audio(jumpPts), 1);
  ASSERT_EQ(x.JumpCount(), 1);
  EXPECT_TRUE(log.Contains("Find audio lost frame pts nAudioPts:" + std::to_string(jumpPts) +
                           ", interval: 20000000, saved jump data:1\n"));

  // A video frame 0.5 s past that audio time, far from where the last frame ended.
  const int64_t start = jumpPts + 5000000;
  const size_t stored = x.VideoCount();
  ASSERT_EQ(Video(start), 1);
  EXPECT_EQ(x.calVAInterval.load(), 20000000);
  EXPECT_EQ(x.JumpCount(), 0);
  EXPECT_EQ(x.videoCalPts.load(), start - 20000000);
  ASSERT_EQ(static_cast<size_t>(x.VideoCount()), stored + 1);
  EXPECT_EQ(x.Slot(x.LastWrittenIndex()).pts, start - 20000000 + kStoredVideoPtsOffset);
  EXPECT_TRUE(log.Contains("Find Video lost find right video pts and modify calVAInterval to :20000000"));
  EXPECT_TRUE(log.Contains("Find Video lost break loop pts nVideoPts:" + std::to_string(start)));

  // The next frames keep the shift.
  ASSERT_EQ(Video(start + kNtscFrame), 1);
  EXPECT_EQ(x.videoCalPts.load(), start + kNtscFrame - 20000000);
}

TEST_F(RepairTest, SavedJumpWaitsWhileVideoRunsOnSmoothly) {
  ASSERT_EQ(Video(0), 1);
  ASSERT_EQ(Audio(0), 1);
  ASSERT_EQ(Audio(kAc3Block), 1);
  ASSERT_EQ(Audio(2 * kAc3Block + 1000000), 1);  // a 0.1 s audio gap at 0.74 s
  ASSERT_EQ(x.JumpCount(), 1);
  // Video frames after the gap's time without a jump of their own: wait.
  int64_t v = kNtscFrame;
  for (; v < 2 * kAc3Block + 1000000; v += kNtscFrame) ASSERT_EQ(Video(v), 1);
  ASSERT_EQ(Video(v), 1);
  EXPECT_TRUE(log.Contains("Find Video wait for video pts jump\n"));
  EXPECT_EQ(x.JumpCount(), 1);
  EXPECT_EQ(x.videoCalPts.load(), v);
}

TEST_F(RepairTest, FrameMoreThanOneSecondPastAnUnmatchedGapIsDroppedWhenItWouldGoBackwards) {
  int64_t v = 0;
  for (; v <= 3000000; v += kNtscFrame) ASSERT_EQ(Video(v), 1);
  const int32_t stored = x.VideoCount();
  ASSERT_EQ(Audio(0), 1);
  ASSERT_EQ(Audio(kAc3Block), 1);
  const int64_t jumpPts = 3200000;
  ASSERT_EQ(Audio(jumpPts), 1);  // gap 2,560,000... too small to cover
  AudioJump j;
  ASSERT_TRUE(x.OldestJump(j));

  // 1.5 s past the jump: start - gap - calVAInterval lies before the last
  // repaired time only when the gap is large; make it so.
  x.RemoveAllJumps();
  x.SaveJump(AudioJump{jumpPts, 40000000});
  const size_t reports = env.Reports().size();
  const int64_t start = jumpPts + 15000000;
  EXPECT_EQ(Video(start), 0);
  EXPECT_EQ(x.VideoCount(), stored);
  EXPECT_EQ(x.JumpCount(), 1);
  EXPECT_EQ(x.calVAInterval.load(), 0);
  EXPECT_EQ(env.Reports().size(), reports + 1);  // still reported to the clock
  EXPECT_TRUE(log.Contains("cast this video frame\n"));

  // With a gap that keeps the time line going forward the gap is taken over.
  x.RemoveAllJumps();
  x.SaveJump(AudioJump{jumpPts, 5000000});
  EXPECT_EQ(Video(start), 1);
  EXPECT_EQ(x.calVAInterval.load(), 5000000);
  EXPECT_EQ(x.JumpCount(), 0);
  EXPECT_EQ(x.videoCalPts.load(), start - 5000000);
  EXPECT_TRUE(log.Contains("change all interval:5000000\n"));
}

TEST_F(RepairTest, NoMoreThanNineJumpsAreKept) {
  int64_t a = 0;
  ASSERT_EQ(Audio(a), 1);
  for (int i = 1; i <= 10; ++i) {
    a += kAc3Block + 1000000;  // every block 0.1 s late
    ASSERT_EQ(Audio(a), 1);
  }
  EXPECT_EQ(x.JumpCount(), 9);
  EXPECT_TRUE(log.Contains("Find audio lost frame pts nAudioPts:" + std::to_string(a) +
                           ", interval: 1000000, saved jump data:9\n"));
}

TEST_F(RepairTest, PreviewShowsOnlyTheFirstFiveSecondsUnlessAsked) {
  env.display = 0;
  // Before the encoder start firstVideoPts is -1: the difference is start + 1.
  EXPECT_EQ(Video(49999998), 1);
  EXPECT_EQ(Video(49999999), 0);
  x.firstVideoPts = 60000000;
  EXPECT_EQ(Video(60000000 + 49999999 - 1), 1);
  EXPECT_EQ(Video(60000000 + 50000000), 0);
  env.display = 1;
  EXPECT_EQ(Video(200000000), 1);
}

TEST_F(RepairTest, FullRingWaitsForTheEncoderAndLosesNothing) {
  env.realWaitMicroseconds = 200;
  constexpr int kPictures = 400;
  std::atomic<bool> producing{true};
  std::thread producer([&] {
    for (int i = 0; i < kPictures; ++i) {
      auto p = Picture(static_cast<unsigned char>(i & 0xFF));
      repair.OnVideoFrame(16, 16, 0, i * kNtscFrame, (i + 1) * kNtscFrame, p.data());
    }
    producing = false;
  });
  std::vector<int64_t> times;
  std::vector<unsigned char> out(test::kPictureBytes);
  bool contentsMatch = true;
  while (producing || x.VideoCount() > 0) {
    VideoSlot slot;
    if (!x.TakeVideo(out.data(), &slot)) {
      std::this_thread::yield();
      continue;
    }
    const int index = static_cast<int>(times.size());
    if (out[0] != static_cast<unsigned char>(index & 0xFF) || out.back() != out[0]) contentsMatch = false;
    times.push_back(slot.pts);
    if (index % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));  // a slow encoder
  }
  producer.join();
  ASSERT_EQ(times.size(), static_cast<size_t>(kPictures));
  for (int i = 0; i < kPictures; ++i) ASSERT_EQ(times[i], i * kNtscFrame + kStoredVideoPtsOffset);
  EXPECT_TRUE(contentsMatch);
  EXPECT_GT(env.waits.load(), 0);  // the ring did fill
  EXPECT_FALSE(log.Contains("Get duplicate Video frame"));
}

TEST_F(RepairTest, FullRingWithAnIdleEncoderGivesUpAfterItsPatience) {
  for (int i = 0; i < kVideoSlotCount; ++i) ASSERT_EQ(Video(i * kNtscFrame), 1);
  EXPECT_EQ(Video(kVideoSlotCount * kNtscFrame), 1);
  EXPECT_GE(env.now.load(), kFullRingPatienceMs);
  EXPECT_TRUE(log.Contains("Video ring full and the encoder takes no picture"));
  // Until the encoder takes a picture, later ones are not held back again.
  const int waits = env.waits;
  EXPECT_EQ(Video((kVideoSlotCount + 1) * kNtscFrame), 1);
  EXPECT_EQ(env.waits.load(), waits);
  ASSERT_TRUE(x.TakeVideo(nullptr));
  EXPECT_EQ(Video((kVideoSlotCount + 2) * kNtscFrame), 1);
  EXPECT_EQ(x.VideoCount(), kVideoSlotCount);
}

TEST_F(RepairTest, FullRingWaitEndsOnAStopRequest) {
  for (int i = 0; i < kVideoSlotCount; ++i) ASSERT_EQ(Video(i * kNtscFrame), 1);
  std::thread stopper([&] {
    while (env.waits.load() < 3) std::this_thread::yield();
    env.stop = true;
  });
  env.realWaitMicroseconds = 100;
  EXPECT_EQ(Video(kVideoSlotCount * kNtscFrame), 1);
  stopper.join();
  EXPECT_EQ(x.VideoCount(), kVideoSlotCount);
}

}  // namespace
}  // namespace tarn
