// Where a title's pieces join and its time stamps restart, the times handed
// to the callbacks run on: no picture or audio block lost, doubled or moved.
// The "avsync" title is three separately encoded 8 s pieces (each with its
// own stamps 0.54..8.54 s) with continuous sound, a white picture and a beep
// at every whole second.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tarnplayer_engine_harness.h"

namespace tarnplayer::test {
namespace {

constexpr int64_t kSecond = 10000000;
constexpr int64_t kPicture = 400000;  // 25 fps
constexpr int64_t kSample = kSecond / 48000;

std::vector<Happening> AudioBlocks(const std::vector<Happening>& log) {
  std::vector<Happening> out;
  for (const Happening& h : log) {
    if (h.kind == Happening::Audio) out.push_back(h);
  }
  return out;
}

// Plays the whole title unpaced and returns everything the callbacks got.
class JoinsTest : public EngineTest {
 protected:
  std::vector<Happening> PlayWholeTitle(const std::string& disc, uint32_t title) {
    Start(disc, 0, title);
    EXPECT_TRUE(WaitForEvent(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Stop, 20000));
    // The last audio blocks may still be on their way.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto log = recorder_.Snapshot();
    Close();
    recorder_.Clear();
    return log;
  }
};

TEST_F(JoinsTest, PicturesAndSoundRunOnWithoutGapsAcrossTheJoins) {
  const auto log = PlayWholeTitle("avsync/", 1);
  const auto pictures = Pictures(log);
  ASSERT_EQ(pictures.size(), 600u);  // 3 x 200 pictures, none lost, none doubled
  for (size_t i = 0; i < pictures.size(); ++i) {
    ASSERT_EQ(pictures[i].start, int64_t(i) * kPicture) << "picture " << i;
    ASSERT_EQ(pictures[i].stop - pictures[i].start, kPicture) << "picture " << i;
  }

  // Each block starts where the last one ended (within a sample of rounding),
  // and together they last the title's 24 s.
  const auto blocks = AudioBlocks(log);
  ASSERT_FALSE(blocks.empty());
  // The sound starts with the first picture, at 0 (its first frame begins
  // 5.3 ms before it on the disc: what lies before the title is cut, so a
  // conversion, which starts at the first picture not before the sound,
  // keeps the first picture).
  EXPECT_EQ(blocks.front().start, 0);
  int64_t end = blocks.front().start;
  for (size_t i = 0; i < blocks.size(); ++i) {
    ASSERT_LE(std::llabs(blocks[i].start - end), kSample) << "audio block " << i << " at " << blocks[i].start;
    end = blocks[i].start + int64_t(blocks[i].samples) * kSecond / 48000;
  }
  EXPECT_NEAR(double(end), 24.0 * kSecond, double(kPicture));

  // A flash and a beep at every whole second, on the same timeline.
  std::vector<int64_t> flashes, beeps;
  uint32_t darkest = UINT32_MAX, brightest = 0;
  for (const Happening& p : pictures) {
    darkest = std::min(darkest, p.lumaSum);
    brightest = std::max(brightest, p.lumaSum);
  }
  for (const Happening& p : pictures) {
    if (p.lumaSum > (darkest + brightest) / 2) flashes.push_back(p.start);
  }
  bool quiet = true;
  for (const Happening& h : blocks) {
    if (quiet && !h.quiet) beeps.push_back(h.start + int64_t(h.loudAt) * kSecond / 48000);
    quiet = h.quiet;
  }
  ASSERT_EQ(flashes.size(), 24u);
  ASSERT_EQ(beeps.size(), 24u);
  for (size_t i = 0; i < 24; ++i) {
    EXPECT_EQ(flashes[i], int64_t(i) * kSecond) << "second " << i;
    EXPECT_LT(std::llabs(beeps[i] - flashes[i]), kPicture / 4) << "second " << i;
  }
}

// A conversion starts with a jump to the job's start while playback is
// paused; the host's jump resumes playback first (as a paused player's time
// search does), so pictures and sound of the old place flow on until the
// jump flushes them. With the callbacks taken away across the jump none of
// them reaches the capture, and the new place's first picture and sound wait
// for it instead of passing it.
TEST_F(JoinsTest, ACaptureTakenAwayAcrossAJumpGetsOnlyTheNewPlaceFromItsStart) {
  Start("short/", 1.0, 2);
  ASSERT_TRUE(WaitForPictureAt(3 * kSecond / 2));
  ASSERT_EQ(graph_.control->Pause(), S_OK);
  library_.stop();
  recorder_.Clear();
  ASSERT_EQ(graph_.control->Run(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the old place plays on
  DVD_HMSF_TIMECODE start{0, 0, 0, 0};
  ASSERT_EQ(graph_.dvd->PlayAtTime(&start, DVD_CMD_FLAG_Block, nullptr), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the new place's first pictures are decoded
  ASSERT_EQ(library_.play(OnVideo, OnAudio, videoScratch_.data(), audioScratch_.data()), 1);
  ASSERT_TRUE(WaitForPictureAt(kSecond));
  const auto log = recorder_.Snapshot();
  const auto pictures = Pictures(log);
  ASSERT_GT(pictures.size(), 20u);
  for (size_t i = 0; i < pictures.size(); ++i) {
    ASSERT_EQ(pictures[i].start, int64_t(i) * kPicture) << "picture " << i;
  }
  const auto blocks = AudioBlocks(log);
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.front().start, 0);
  for (size_t i = 1; i < blocks.size(); ++i) EXPECT_GT(blocks[i].start, blocks[i - 1].start) << "audio block " << i;
}

}  // namespace
}  // namespace tarnplayer::test
