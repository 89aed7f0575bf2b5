// Where a title's pieces join and its time stamps restart, the times handed
// to the callbacks run on: no picture or audio block lost, doubled or moved.
// The "avsync" title is three separately encoded 8 s pieces (each with its
// own stamps 0.54..8.54 s) with continuous sound, a white picture and a beep
// at every whole second.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "audio_decoder.h"
#include "tarnplayer_decode_streams.h"
#include "tarnplayer_engine_harness.h"
#include "test_support.h"

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
  const std::vector<int64_t> flashes = FlashTimes(pictures), beeps = BeepTimes(blocks);
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

// A DVD's AC-3 time stamp belongs to the first frame that starts in its
// packet. Where a frame starts in the last bytes of a packet (its header cut
// after the sync word), the next packet first ends that frame; the frame
// keeps its own time instead of taking the next packet's stamp, which would
// give two blocks the same time and move all sound after them one frame late.
TEST(SplitFrameHeaders, EveryAc3FrameKeepsItsOwnTime) {
  tarn::test::TempDir dir;
  const std::string ac3 = dir / "tone.ac3";
  ASSERT_TRUE(test::RunFfmpeg("-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 -ac 2 -c:a ac3 -b:a 96k " + ac3));
  const std::vector<uint8_t> stream = test::ReadBytes(ac3);
  constexpr size_t kFrame = 384;  // 96 kbit/s at 48 kHz
  ASSERT_GT(stream.size(), 40 * kFrame);
  ASSERT_EQ(stream[0], 0x0B);
  ASSERT_EQ(stream[1], 0x77);
  // Packets of five frames and four bytes: each ends with the sync word and
  // CRC of a frame whose other 380 bytes open the next packet.
  constexpr size_t kPacket = 5 * kFrame + 4;
  constexpr int64_t kBase = 48000;
  AudioDecoder decoder;
  ASSERT_TRUE(decoder.Open(AudioCoding::AC3));
  std::vector<DecodedAudio> blocks;
  for (size_t at = 0; at < stream.size(); at += kPacket) {
    const size_t end = std::min(stream.size(), at + kPacket);
    const size_t firstFrame = (at + kFrame - 1) / kFrame;  // the first frame starting here
    const size_t firstOffset = firstFrame * kFrame - at;
    std::vector<uint8_t> payload = {uint8_t(0), uint8_t((firstOffset + 1) >> 8), uint8_t((firstOffset + 1) & 0xFF)};
    for (size_t frameStart = firstFrame * kFrame; frameStart < end; frameStart += kFrame) ++payload[0];
    payload.insert(payload.end(), stream.begin() + long(at), stream.begin() + long(end));
    const size_t bytes = payload.size();
    payload.insert(payload.end(), 64, 0);
    decoder.Decode(payload.data(), bytes, kBase + int64_t(firstFrame) * 2880, blocks);
  }
  ASSERT_GT(blocks.size(), 40u);
  for (size_t i = 0; i < blocks.size(); ++i) {
    ASSERT_EQ(blocks[i].samples.size(), 2u * 1536) << "block " << i;
    ASSERT_EQ(blocks[i].pts90k, kBase + int64_t(i) * 2880) << "block " << i;
  }
}

}  // namespace
}  // namespace tarnplayer::test
