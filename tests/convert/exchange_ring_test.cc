// The frame exchange: picture slots, the audio byte ring with its wrap, the
// availability of audio, the reset, and the throttle's table.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "convert/frame_exchange.h"
#include "convert/job_range.h"
#include "convert/rip_job.h"
#include "exchange_test_support.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::NumberedPcm;
using test::PcmNumber;
using test::Picture;

class ExchangeRingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    x.Reset();
    x.SetSleeper([this](int ms) { sleeps.push_back(ms); });
  }
  void TearDown() override { x.SetSleeper(nullptr); }

  // Pushes `bytes` bytes of audio through the ring (written and taken again).
  void Advance(int64_t bytes) {
    std::vector<unsigned char> block(1048576);
    std::vector<unsigned char> out(1048576);
    while (bytes > 0) {
      const int64_t n = std::min<int64_t>(bytes, 1048576);
      ASSERT_TRUE(x.PutAudio(block.data(), n, 1));
      ASSERT_TRUE(x.TakeAudio(out.data(), n / 4));
      bytes -= n;
    }
  }

  FrameExchange& x = test::SharedExchange();
  std::vector<int> sleeps;
};

TEST_F(ExchangeRingTest, BuffersAreAlignedAndSlotsSitOneMebibyteApart) {
  EXPECT_EQ(reinterpret_cast<uintptr_t>(x.VideoScratch()) % 32, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(x.AudioScratch()) % 32, 0u);
  for (int i = 0; i < kVideoSlotCount; ++i) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(x.Slot(i).pixels) % 32, 0u);
    EXPECT_EQ(x.Slot(i).pixels, x.Slot(0).pixels + i * kSlotBytes);
  }
}

TEST_F(ExchangeRingTest, FirstPictureAfterResetGoesToSlotZeroAndIsTakenFirst) {
  auto first = Picture(7);
  auto second = Picture(8);
  ASSERT_TRUE(x.PutVideo(test::kPictureWidth, test::kPictureHeight, first.data(), 1000, 400000));
  EXPECT_EQ(x.LastWrittenIndex(), 0);
  ASSERT_TRUE(x.PutVideo(test::kPictureWidth, test::kPictureHeight, second.data(), 401000, 400000));
  EXPECT_EQ(x.VideoCount(), 2);
  EXPECT_EQ(x.Slot(0).pts, 1000 + kStoredVideoPtsOffset);
  EXPECT_EQ(x.Slot(0).size, test::kPictureBytes);
  EXPECT_EQ(x.Slot(0).duration, 400000);

  std::vector<unsigned char> out(test::kPictureBytes);
  VideoSlot taken;
  ASSERT_TRUE(x.TakeVideo(out.data(), &taken));
  EXPECT_EQ(out, first);
  EXPECT_EQ(taken.pts, 1000 + kStoredVideoPtsOffset);
  EXPECT_EQ(x.ReadIndex(), 1);
  EXPECT_EQ(x.VideoCount(), 1);
}

TEST_F(ExchangeRingTest, FullPictureRingRefusesInsteadOfOverwriting) {
  auto p = Picture(1);
  for (int i = 0; i < kVideoSlotCount; ++i) ASSERT_TRUE(x.PutVideo(16, 16, p.data(), i, 1));
  EXPECT_FALSE(x.PutVideo(16, 16, p.data(), 99, 1));
  EXPECT_EQ(x.VideoCount(), kVideoSlotCount);
  EXPECT_EQ(x.LastWrittenIndex(), kVideoSlotCount - 1);
  ASSERT_TRUE(x.TakeVideo(nullptr));
  EXPECT_TRUE(x.PutVideo(16, 16, p.data(), 99, 1));
  EXPECT_EQ(x.LastWrittenIndex(), 0);  // wrapped
  EXPECT_EQ(x.Slot(0).pts, 99 + kStoredVideoPtsOffset);
}

TEST_F(ExchangeRingTest, BlockEndingAtRingEndLeavesWriteOffsetAtRingSizeAndNextStartsAtZero) {
  Advance(kAudioRingBytes - 4608);
  ASSERT_EQ(x.WriteOffset(), kAudioRingBytes - 4608);

  auto atEnd = NumberedPcm(1000, 1152);
  ASSERT_TRUE(x.PutAudio(atEnd.data(), 4608, 2));
  EXPECT_EQ(x.WriteOffset(), kAudioRingBytes);
  auto atStart = NumberedPcm(5000, 1152);
  ASSERT_TRUE(x.PutAudio(atStart.data(), 4608, 3));
  EXPECT_EQ(x.WriteOffset(), 4608);
  EXPECT_EQ(x.BytesBuffered(), 2 * 4608);

  // A request of 1152 sample frames takes 4608 bytes.
  std::vector<unsigned char> out(4608);
  ASSERT_TRUE(x.TakeAudio(out.data(), 1152));
  EXPECT_EQ(out, atEnd);
  EXPECT_EQ(x.ReadOffset(), kAudioRingBytes);
  EXPECT_EQ(x.BytesBuffered(), 4608);
  ASSERT_TRUE(x.TakeAudio(out.data(), 1152));
  EXPECT_EQ(out, atStart);
  EXPECT_EQ(x.ReadOffset(), 4608);
  EXPECT_EQ(x.BytesBuffered(), 0);
}

TEST_F(ExchangeRingTest, BlocksAndRequestsCrossingTheRingEndKeepEveryByte) {
  Advance(kAudioRingBytes - 1000);
  auto block = NumberedPcm(0, 3000);  // 12,000 bytes: 1,000 at the end, 11,000 at the start
  ASSERT_TRUE(x.PutAudio(block.data(), 12000, 1));
  EXPECT_EQ(x.WriteOffset(), 11000);
  EXPECT_EQ(x.UnitsAvailable(), 1);
  std::vector<unsigned char> out(12000);
  ASSERT_TRUE(x.TakeAudio(out.data(), 3000));
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(PcmNumber(out.data(), i), i);
  EXPECT_EQ(x.ReadOffset(), 11000);
}

TEST_F(ExchangeRingTest, AudioIsHandedOutOnlyWhenWritten) {
  auto block = NumberedPcm(0, 1000);
  ASSERT_TRUE(x.PutAudio(block.data(), 4000, 1));
  std::vector<unsigned char> out(40000000);
  EXPECT_FALSE(x.TakeAudio(out.data(), 1001));
  // A request far larger than half the ring is no sign of a wrapped writer.
  EXPECT_FALSE(x.TakeAudio(out.data(), 10000000));
  EXPECT_EQ(x.ReadOffset(), 0);
  EXPECT_EQ(x.BytesBuffered(), 4000);
  test::LogCapture log;
  ASSERT_TRUE(x.TakeAudio(out.data(), 1000));  // exactly what is buffered
  EXPECT_EQ(x.BytesBuffered(), 0);
  EXPECT_FALSE(log.Contains("get audio frame detect arp> asp"));
}

TEST_F(ExchangeRingTest, AudioWriterWaitsForTheReaderInsteadOfOverwriting) {
  std::vector<unsigned char> block(1048576, 0x5A);
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(x.PutAudio(block.data(), 1048576, 1));
  EXPECT_EQ(x.BytesBuffered(), kAudioRingBytes);
  EXPECT_EQ(x.UnitsAvailable(), kAudioRingBytes / kAudioUnitBytes);
  auto more = NumberedPcm(7, 1);
  EXPECT_FALSE(x.PutAudio(more.data(), 4, 2));
  std::vector<unsigned char> out(4);
  ASSERT_TRUE(x.TakeAudio(out.data(), 1));
  EXPECT_EQ(out[0], 0x5A);
  ASSERT_TRUE(x.PutAudio(more.data(), 4, 2));
  EXPECT_EQ(x.WriteOffset(), 4);
}

TEST_F(ExchangeRingTest, FirstBlockRecordsFirstAudioPts) {
  auto block = NumberedPcm(0, 10);
  ASSERT_TRUE(x.PutAudio(block.data(), 40, 123456));
  ASSERT_TRUE(x.PutAudio(block.data(), 40, 999999));
  EXPECT_EQ(x.firstAudioPts.load(), 123456);
}

TEST_F(ExchangeRingTest, SkipMovesOnlyOverBufferedAudioInWholeSampleFrames) {
  auto block = NumberedPcm(0, 2500);
  ASSERT_TRUE(x.PutAudio(block.data(), 10000, 1));
  EXPECT_EQ(x.SkipAudio(4001), 4004);  // rounded up to a multiple of 4
  EXPECT_EQ(x.ReadOffset(), 4004);
  EXPECT_EQ(x.BytesBuffered(), 5996);
  EXPECT_EQ(x.SkipAudio(100000), 5996);  // never past what was written
  EXPECT_EQ(x.BytesBuffered(), 0);
  EXPECT_EQ(x.ReadOffset(), x.WriteOffset());
}

TEST_F(ExchangeRingTest, ResetExchangeClearsRingsAndTimingAndRequestsStop) {
  auto p = Picture(1);
  ASSERT_TRUE(x.PutVideo(16, 16, p.data(), 5, 1));
  auto block = NumberedPcm(0, 100);
  ASSERT_TRUE(x.PutAudio(block.data(), 400, 77));
  x.SaveJump(AudioJump{1, 2});
  x.lastVideoPts = 9;
  x.beginPts = 9;
  x.lastLevel = 30;
  x.extraDelay = 90;
  x.Reset();
  EXPECT_EQ(x.VideoCount(), 0);
  EXPECT_EQ(x.ReadIndex(), 0);
  EXPECT_EQ(x.LastWrittenIndex(), kVideoSlotCount - 1);
  EXPECT_EQ(x.WriteOffset(), 0);
  EXPECT_EQ(x.ReadOffset(), 0);
  EXPECT_EQ(x.BytesBuffered(), 0);
  EXPECT_EQ(x.UnitsAvailable(), 0);
  EXPECT_EQ(x.UnitSize(), 8000);
  EXPECT_EQ(x.JumpCount(), 0);
  EXPECT_EQ(x.lastVideoPts.load(), 0);
  EXPECT_EQ(x.beginPts.load(), 0);
  EXPECT_EQ(x.firstVideoPts.load(), -1);
  EXPECT_EQ(x.firstAudioPts.load(), -1);
  EXPECT_EQ(x.lastLevel, 0);
  EXPECT_EQ(x.extraDelay, 5);
  EXPECT_EQ(x.Slot(0).pixels[0], 0);

  // The process-wide reset also asks for a stop, clears the status position
  // and opens the job range, so nothing inherits an earlier job's range.
  Conversion().stopRequest = 0;
  Progress().lastStatusPosition = 1234;
  SetJobRange(10, 20);
  CurrentJobRange().endReached = 1;
  ResetExchange();
  EXPECT_EQ(Conversion().stopRequest.load(), 1);
  EXPECT_EQ(Progress().lastStatusPosition.load(), 0u);
  EXPECT_EQ(CurrentJobRange().endReached.load(), 0);
  EXPECT_EQ(CurrentJobRange().start.load(), 0);
  EXPECT_EQ(CurrentJobRange().end.load(), kOpenRangeEnd);
  EXPECT_NE(VideoScratch(), nullptr);
  EXPECT_NE(AudioScratch(), nullptr);
}

struct ThrottleCase {
  int64_t t;
  int32_t level, extra;              // before
  int sleep;                         // slept
  int32_t levelAfter, extraAfter;    // after
};

TEST(ExchangeThrottleTable, SleepsAndLevelsFollowTheBacklog) {
  const ThrottleCase cases[] = {
      {0, 0, 5, 0, 5, 5},       {3, 40, 7, 0, 5, 7},       // a small backlog never sleeps
      {4, 0, 5, 5, 5, 5},       {5, 5, 5, 5, 5, 0},        // repeated level 5 lowers E
      {4, 10, 7, 12, 5, 7},     {5, 5, 0, 5, 5, 0},        // E never below 0
      {8, 0, 5, 15, 10, 5},     {8, 5, 5, 20, 10, 10},     {8, 10, 5, 10, 10, 0},
      {12, 0, 5, 20, 15, 5},    {12, 10, 5, 25, 15, 10},   {12, 15, 5, 15, 15, 0},
      {18, 0, 5, 25, 20, 5},    {18, 10, 5, 30, 20, 10},   {18, 20, 10, 25, 20, 5},
      {23, 0, 5, 35, 25, 5},    {23, 25, 5, 40, 25, 15},   {23, 30, 5, 25, 25, 0},
      {28, 0, 5, 45, 30, 5},    {28, 30, 5, 55, 30, 25},   {28, 35, 25, 35, 30, 5},
      {33, 0, 5, 55, 35, 5},    {33, 35, 0, 75, 35, 40},   {33, 40, 10, 35, 35, 0},
      {38, 0, 5, 70, 40, 5},    {38, 40, 5, 125, 40, 55},  {38, 50, 40, 80, 40, 10},
      {41, 0, 5, 100, 50, 5},   {41, 50, 5, 205, 50, 105}, {41, 50, 105, 305, 50, 205},
      {41, 40, 5, 205, 50, 105},
  };
  for (const ThrottleCase& c : cases) {
    int32_t level = c.level, extra = c.extra;
    const int sleep = ThrottleStep(c.t, level, extra);
    EXPECT_EQ(sleep, c.sleep) << "t " << c.t << " L " << c.level << " E " << c.extra;
    EXPECT_EQ(level, c.levelAfter) << "t " << c.t << " L " << c.level;
    EXPECT_EQ(extra, c.extraAfter) << "t " << c.t << " L " << c.level << " E " << c.extra;
  }
}

TEST_F(ExchangeRingTest, ThrottleWaitsForTheEncoderStartAndThenSleepsByTheSmallerBacklog) {
  auto p = Picture(1);
  for (int i = 0; i < 18; ++i) ASSERT_TRUE(x.PutVideo(16, 16, p.data(), i, 1));
  std::vector<unsigned char> block(1048576);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(x.PutAudio(block.data(), 1048576, 1));

  // beginPts still 0: however full the rings are, nothing is delayed.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(x.Throttle(), 0);
  EXPECT_TRUE(sleeps.empty());

  x.beginPts = 4000000;
  x.lastLevel = 10;
  x.extraDelay = 5;
  // t = min(18 pictures, 1310 units) = 18 with L = 10: E + 5 + 20.
  EXPECT_EQ(x.Throttle(), 30);
  EXPECT_EQ(x.lastLevel, 20);
  // The same backlog again lowers E by 5.
  EXPECT_EQ(x.Throttle(), 25);
  EXPECT_EQ(x.extraDelay, 5);
  EXPECT_EQ(sleeps, (std::vector<int>{30, 25}));

  // Little audio buffered: t follows the audio units.
  std::vector<unsigned char> out(1048576);
  while (x.BytesBuffered() > 2 * kAudioUnitBytes) ASSERT_TRUE(x.TakeAudio(out.data(), 1000));
  EXPECT_EQ(x.Throttle(), 0);
  EXPECT_EQ(x.lastLevel, 5);
}

}  // namespace
}  // namespace tarn
