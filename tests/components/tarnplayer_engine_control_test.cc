// libTarnPlayer.so under the host's control: pacing by the reference clock,
// stopping, the video sink with the mixer overlay, volume, damaged discs.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tarnplayer_engine_harness.h"

namespace tarnplayer::test {
namespace {

constexpr int64_t kSecond = 10000000;

// Sanitizer builds decode several times slower than eight times real time.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSlowBuild = true;
#else
constexpr bool kSlowBuild = false;
#endif

int64_t LastPictureStart(const std::vector<Happening>& log) {
  auto pictures = Pictures(log);
  return pictures.empty() ? -1 : pictures.back().start;
}

// Pictures reach the callback a short queue ahead of their due time: the
// stream time + start stays close to the clock, in real time and at eight
// times real time.
TEST_F(EngineTest, TheReferenceClockPacesPresentation) {
  for (double speed : {1.0, 8.0}) {
    SCOPED_TRACE(speed);
    Start("feature/", speed, 1);
    ASSERT_TRUE(WaitForPictureAt(kSecond / 5));
    recorder_.Clear();
    auto begin = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    auto log = recorder_.Snapshot();
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    auto pictures = Pictures(log);
    ASSERT_GT(pictures.size(), 10u);
    double played = double(pictures.back().start - pictures.front().start) / kSecond;
    bool keepsUp = !(kSlowBuild && speed > 1);
    if (keepsUp) {
      EXPECT_NEAR(played, wall * speed, 0.25 * speed + 0.3);
    }
    EXPECT_LT(played, wall * speed + 0.25 * speed + 0.3);  // never faster than the clock
    for (const Happening& p : pictures) {
      double lead = double(p.streamTime + p.start - p.clockNow) / kSecond;
      // Late by no more than a few pictures (a loaded machine may stall the decoder).
      if (keepsUp) {
        EXPECT_GT(lead, -0.25 * speed);
      }
      EXPECT_LT(lead, 1.0);  // a few pictures ahead at most
    }
    Close();
    recorder_.Clear();
  }
}

// Taking the clock away mid-play lets presentation run unpaced at once.
TEST_F(EngineTest, WithoutASyncSourcePlaybackRunsUnpaced) {
  Start("feature/", 1.0, 1);
  ASSERT_TRUE(WaitForPictureAt(kSecond / 2));
  ASSERT_EQ(graph_.filter->SetSyncSource(nullptr), S_OK);
  IReferenceClock* clock = reinterpret_cast<IReferenceClock*>(1);
  ASSERT_EQ(graph_.filter->GetSyncSource(&clock), S_OK);
  EXPECT_EQ(clock, nullptr);
  auto begin = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitForPictureAt(20 * kSecond, 10000));
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_LT(wall, 10.0);  // far faster than the 19.5 s of real time
}

TEST_F(EngineTest, PauseHoldsPresentationAndRunContinuesIt) {
  Start("feature/", 1.0, 1);
  ASSERT_TRUE(WaitForPictureAt(kSecond / 2));
  ASSERT_EQ(graph_.control->Pause(), S_OK);
  int32_t state = -1;
  ASSERT_EQ(graph_.control->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Paused);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the queue fills up
  int64_t held = LastPictureStart(recorder_.Snapshot());
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(LastPictureStart(recorder_.Snapshot()), held);
  ASSERT_EQ(graph_.control->Run(), S_OK);
  ASSERT_TRUE(WaitForPictureAt(held + kSecond / 2, 3000));
  // After the pause the pictures continue without a jump.
  auto pictures = Pictures(recorder_.Snapshot());
  for (size_t i = 1; i < pictures.size(); ++i) EXPECT_EQ(pictures[i].start - pictures[i - 1].start, 400000);
}

TEST_F(EngineTest, StopMediaReturnsOnlyWhenNoCallbackCanRunAnyMore) {
  for (double speed : {0.0, 1.0}) {
    Start("feature/", speed, 1);
    ASSERT_TRUE(WaitForPictureAt(kSecond / 2));
    library_.stop();
    recorder_.stopped = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(recorder_.callsAfterStop.load(), 0);
    Close();
    recorder_.stopped = false;
    recorder_.Clear();
  }
}

class CountingSink : public IVideoSink {
 public:
  void Present(const VideoPicture& picture) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++count;
    width = picture.width;
    // Red of the overlay shows up as a high V (Cr) value in the picture's middle.
    int chromaWidth = picture.width / 2;
    centerCr = picture.planes[2][(picture.height / 4) * picture.pitches[2] + chromaWidth / 2];
  }
  std::mutex mutex;
  int count = 0, width = 0, centerCr = 0;
};

TEST_F(EngineTest, TheSinkGetsShownPicturesWithTheOverlayAndTheCallbackWithout) {
  Start("feature/", 8.0);
  CountingSink sink;
  ASSERT_EQ(graph_.window->put_Owner(&sink), S_OK);
  ASSERT_EQ(graph_.window->SetWindowPosition(0, 0, 704, 576), S_OK);
  // An all-red overlay (no pixel is the colour key) over the whole picture.
  std::vector<uint32_t> red(64 * 64, 0xFFFF0000u);
  MixerAlphaBitmap bitmap{};
  bitmap.flags = VMR9AlphaBitmap_SrcColorKey;
  bitmap.pixels = red.data();
  bitmap.width = bitmap.height = 64;
  bitmap.colorKey = 0x000000;
  bitmap.destLeft = bitmap.destTop = 0;
  bitmap.destRight = bitmap.destBottom = 1;
  bitmap.alpha = 1.0f;
  ASSERT_NE(graph_.mixer, nullptr);
  ASSERT_EQ(graph_.mixer->SetAlphaBitmap(&bitmap), S_OK);
  recorder_.videoResult = 0;  // keep the pictures off the screen
  ASSERT_EQ(graph_.dvd->PlayTitle(4, DVD_CMD_FLAG_Block, nullptr), S_OK);
  ASSERT_TRUE(WaitForPictureAt(2 * kSecond));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  {
    std::lock_guard<std::mutex> lock(sink.mutex);
    EXPECT_EQ(sink.count, 0);
  }
  recorder_.videoResult = 1;
  ASSERT_TRUE(WaitForPictureAt(4 * kSecond));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  {
    std::lock_guard<std::mutex> lock(sink.mutex);
    EXPECT_GT(sink.count, 5);
    EXPECT_EQ(sink.width, 352);
    EXPECT_GT(sink.centerCr, 200);  // red everywhere
  }
  int32_t width = 0, height = 0;
  ASSERT_EQ(graph_.basicVideo->GetVideoSize(&width, &height), S_OK);
  EXPECT_EQ(width, 352);
  EXPECT_EQ(height, 288);
  // The callback's pictures never carry the overlay: rgbtestsrc differs from all red.
  auto pictures = Pictures(recorder_.Snapshot());
  ASSERT_FALSE(pictures.empty());
  std::set<uint32_t> sums;
  for (const Happening& p : pictures) sums.insert(p.lumaSum);
  EXPECT_GT(sums.size(), 1u);
  ASSERT_EQ(graph_.window->put_Owner(nullptr), S_OK);
}

TEST_F(EngineTest, InfoAnswersAboutTheTitleAndItsStreams) {
  Start("feature/", 8.0, 1);
  ASSERT_TRUE(WaitForPictureAt(kSecond));
  DVD_HMSF_TIMECODE total{};
  uint32_t flags = 0;
  ASSERT_EQ(graph_.info->GetTotalTitleTime(&total, &flags), S_OK);
  EXPECT_EQ(total.bMinutes, 1);
  EXPECT_EQ(total.bSeconds, 12);
  uint32_t chapters = 0;
  ASSERT_EQ(graph_.info->GetNumberOfChapters(1, &chapters), S_OK);
  EXPECT_EQ(chapters, 5u);
  ASSERT_EQ(graph_.info->GetNumberOfChapters(3, &chapters), S_OK);
  EXPECT_EQ(chapters, 6u);
  uint32_t available = 0, current = 9;
  ASSERT_EQ(graph_.info->GetCurrentAudio(&available, &current), S_OK);
  EXPECT_EQ(available, 3u);
  EXPECT_EQ(current, 0u);
  struct AudioCase {
    uint32_t stream;
    int32_t format;
    uint8_t channels;
    const char* language;
  };
  for (const AudioCase& c : {AudioCase{0, DVD_AudioFormat_AC3, 6, "en"}, AudioCase{1, DVD_AudioFormat_MPEG1, 2, "fr"},
                             AudioCase{2, DVD_AudioFormat_LPCM, 2, "de"}}) {
    DVD_AudioAttributes attributes{};
    ASSERT_EQ(graph_.info->GetAudioAttributes(c.stream, &attributes), S_OK);
    EXPECT_EQ(attributes.AudioFormat, c.format) << c.stream;
    EXPECT_EQ(attributes.bNumberOfChannels, c.channels) << c.stream;
    EXPECT_EQ(attributes.dwFrequency, 48000u);
    EXPECT_EQ(std::string(attributes.language, 2), c.language);
  }
  DVD_SubpictureAttributes subpicture{};
  ASSERT_EQ(graph_.info->GetSubpictureAttributes(1, &subpicture), S_OK);
  EXPECT_EQ(std::string(subpicture.language, 2), "fr");
  DVD_VideoAttributes video{};
  ASSERT_EQ(graph_.info->GetCurrentVideoAttributes(&video), S_OK);
  EXPECT_EQ(video.ulAspectX, 16u);
  EXPECT_EQ(video.ulAspectY, 9u);
  EXPECT_EQ(video.ulFrameRate, 50u);
  EXPECT_EQ(video.ulSourceResolutionX, 352u);
  EXPECT_EQ(video.ulSourceResolutionY, 288u);

  // Another audio stream: its blocks keep coming, 48 kHz stereo.
  ASSERT_EQ(graph_.dvd->SelectAudioStream(1, 0, nullptr), S_OK);
  ASSERT_EQ(graph_.info->GetCurrentAudio(&available, &current), S_OK);
  EXPECT_EQ(current, 1u);
  EXPECT_TRUE(WaitForEvent(EC_DVD_AUDIO_STREAM_CHANGE, 1));
  EXPECT_EQ(graph_.dvd->SelectAudioStream(5, 0, nullptr), E_INVALIDARG);
  ASSERT_EQ(graph_.basicAudio->put_Volume(-2500), S_OK);
  int32_t volume = 0;
  ASSERT_EQ(graph_.basicAudio->get_Volume(&volume), S_OK);
  EXPECT_EQ(volume, -2500);
  EXPECT_EQ(graph_.basicAudio->put_Volume(10), E_INVALIDARG);
}

// A damaged disc plays what it can, warns, and ends in the stop domain.
TEST_F(EngineTest, DamagedDiscsWarnAndEndCleanly) {
  struct Case {
    const char* disc;
    int64_t reachesAtLeast;  // the picture time playback gets past
    intptr_t firstWarning;
  };
  for (const Case& c : {Case{"damaged/cut-vob/", 5 * kSecond, DVD_WARNING_Read},
                        Case{"damaged/garbage-cell/", 40 * kSecond, DVD_WARNING_Read},
                        Case{"damaged/missing-vob/", -1, DVD_WARNING_Open}}) {
    SCOPED_TRACE(c.disc);
    Start(c.disc, 0, 1);
    ASSERT_TRUE(WaitForEvent(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Stop, 20000));
    auto log = recorder_.Snapshot();
    int warning = FindEvent(log, EC_DVD_WARNING);
    ASSERT_GE(warning, 0);
    EXPECT_EQ(log[size_t(warning)].param1, c.firstWarning);
    EXPECT_GE(LastPictureStart(log), c.reachesAtLeast);
    auto pictures = Pictures(log);
    for (size_t i = 1; i < pictures.size(); ++i) ASSERT_GT(pictures[i].start, pictures[i - 1].start);
    Close();
    recorder_.Clear();
  }
}

}  // namespace
}  // namespace tarnplayer::test
