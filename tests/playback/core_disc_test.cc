// The playback core, the open sequence and the title seek with the real
// engine on the authored discs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

#include "app/user_messages.h"
#include "core_test_support.h"
#include "seek_window.h"
#include "dvd/open_disc_playback.h"
#include "playback/clock_mode.h"
#include "playback/core_position.h"
#include "playback/engine_library.h"
#include "playback/safe_search.h"
#include "playback/seek_state.h"
#include "playback/virtual_clock.h"
#include "test_support.h"

namespace tarn {
namespace {

using namespace tarnplayer;

const std::string kDiscs = TARN_TEST_DISCS_DIR;

std::atomic<int64_t> g_pictures{0};

extern "C" int CountPicture(int, int, int64_t, int64_t, int64_t, unsigned char*) {
  ++g_pictures;
  return 1;
}
extern "C" int IgnoreAudio(int, int, int, int64_t, unsigned char*) { return 0; }

int WholeSecondsOf(const tarnplayer::DVD_HMSF_TIMECODE& t) { return t.bHours * 3600 + t.bMinutes * 60 + t.bSeconds; }

CaptureHooks Hooks() {
  static std::vector<unsigned char> video(1 << 20), audio(1 << 20);
  CaptureHooks hooks;
  hooks.video = CountPicture;
  hooks.audio = IgnoreAudio;
  hooks.videoScratch = video.data();
  hooks.audioScratch = audio.data();
  return hooks;
}

class DiscCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEngineFolder(TARN_TEST_PROGRAM_DIR);
    if (!test::FileExistsForTest(std::string(TARN_TEST_PROGRAM_DIR) + kEngineLibraryName))
      GTEST_SKIP() << kEngineLibraryName << " is not built";
  }
  void TearDown() override {
    DestroyCurrentCore();
    SeekPending() = 0;
    SetEngineFolder("");
  }

  bool Open(const std::string& disc, PlaybackWindowKind kind = PlaybackWindowKind::TitleRipper) {
    PlaybackWindow pw{kind, &window, &window, &window, nullptr};
    if (!OpenDiscPlayback(pw, kDiscs + disc, Hooks())) return false;
    // The window posts its seek command to itself; what the engine reports
    // first is handled before it runs.
    PumpUntil(
        [] {
          const CorePosition& p = CurrentCorePosition();
          return p.domain != 0 && (p.domain != DVD_DOMAIN_Title || p.title != 0);
        },
        2000);
    return true;
  }
  // Pumps the window's messages until `done` or `ms` have passed.
  static bool PumpUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      platform::PumpingSleep(10);
    }
    return true;
  }
  static CDvdMpcCore& Core() { return *CurrentCore(); }

  test::SeekWindow window;
};

TEST_F(DiscCoreTest, FeatureDiscIsInItsTitleAtOnce) {
  test::LogCapture log;
  RipJob job;
  job.title = std::make_shared<DvdTitleEntry>();
  job.title->audioStreamNumbers = {0, 1, 2};
  job.title->subtitleStreamNumbers = {0, 1};
  job.title->selectedAudio = 1;     // Français MPEG1
  job.title->selectedSubtitle = 1;  // Français
  job.titleIndex = 0;
  job.checked = 1;
  window.jobs.push_back(job);

  ASSERT_TRUE(Open("feature"));
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeFast);
  EXPECT_EQ(SeekPending(), 1);
  EXPECT_EQ(Core().GetVolume(), -10000);

  const SafeSearchResult r = SafeSearch(window, SeekForm::TitleRipper, 1, window.seekEvent);
  EXPECT_TRUE(r.reached);
  EXPECT_EQ(r.attempts, 1);
  EXPECT_FALSE(log.Contains("SDTC, begin using NO.1 way\n"));
  EXPECT_TRUE(log.Contains("SDTC: reach target title charpter, output search loop.\n"));
  EXPECT_TRUE(log.Contains("safe search process successful\n"));
  EXPECT_EQ(window.sent, (std::vector<uint32_t>{UM_LOADING_OPEN, UM_LOADING_CLOSE}));
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeNormal);
  EXPECT_EQ(SeekPending(), 0);
  EXPECT_EQ(Core().GetVolume(), 0);
  EXPECT_EQ(Core().GetState(), CDvdMpcCore::kPlaying);

  // The job's streams are selected by their disc numbers.
  EXPECT_EQ(Core().CurrentAudioStream(), 1u);
  EXPECT_EQ(Core().CurrentSubpictureStream(), 1u);
  EXPECT_FALSE(Core().SubpictureDisabled());

  // The snapshot and its published copy.
  EXPECT_EQ(Core().TotalTitleTime().bMinutes, 1);
  EXPECT_EQ(Core().TotalTitleTime().bSeconds, 12);
  EXPECT_EQ(Core().TitleCount(), 4u);
  EXPECT_EQ(Core().ChapterCount(), 5u);
  const CorePosition& p = CurrentCorePosition();
  EXPECT_EQ(p.title, 1u);
  EXPECT_EQ(p.domain, DVD_DOMAIN_Title);
  EXPECT_EQ(p.state, CDvdMpcCore::kPlaying);
  EXPECT_EQ(p.width, 352);
  EXPECT_EQ(p.eventSinkQueue, window.QueueId());

  // Title 1 is 16:9: a 640x480 pane letterboxes it.
  Core().LayoutVideo();
  EXPECT_EQ(Core().VideoDestination(), (VideoRect{0, 60, 640, 360}));

  Core().SetVolume(0);
  EXPECT_EQ(Core().GetVolume(), -10000);
  Core().SetVolume(100);
  EXPECT_EQ(Core().GetVolume(), 0);
}

TEST_F(DiscCoreTest, MenuDiscReachesEitherTitle) {
  for (int32_t target : {2, 1}) {
    window.sent.clear();
    ASSERT_TRUE(Open("menu"));
    EXPECT_NE(Core().CurrentDomain(), DVD_DOMAIN_Title) << "the disc starts in its menu";
    const SafeSearchResult r = SafeSearch(window, SeekForm::TitleRipper, target, window.seekEvent);
    EXPECT_TRUE(r.reached) << target;
    EXPECT_EQ(Core().CurrentTitle(), static_cast<uint32_t>(target));
    EXPECT_EQ(Core().CurrentDomain(), DVD_DOMAIN_Title);
    // Title 2 is 4:3 in an 800x480 pane.
    window.width = 800;
    Core().LayoutVideo();
    EXPECT_EQ(Core().VideoDestination(), (VideoRect{80, 0, 640, 480})) << target;
    window.width = 640;
  }
}

TEST_F(DiscCoreTest, TimeAndChapterJumpsLandWhereAsked) {
  ASSERT_TRUE(Open("feature"));
  ASSERT_TRUE(SafeSearch(window, SeekForm::TitleRipper, 1, window.seekEvent).reached);
  auto chapterIs = [](uint32_t c) { return [c] { return CurrentCore()->CurrentChapter() == c; }; };
  auto seconds = [] { return WholeSecondsOf(CurrentCore()->CurrentTime()); };

  ASSERT_TRUE(Core().PlayTime(tarnplayer::DVD_HMSF_TIMECODE{0, 0, 31, 0}, false));
  EXPECT_TRUE(PumpUntil(chapterIs(3), 3000)) << Core().CurrentChapter();
  EXPECT_TRUE(PumpUntil([&] { return seconds() >= 31; }, 3000));
  EXPECT_LE(seconds(), 34);

  ASSERT_TRUE(Core().NextChapter());
  EXPECT_TRUE(PumpUntil(chapterIs(4), 3000)) << Core().CurrentChapter();
  EXPECT_TRUE(PumpUntil([&] { return seconds() >= 45; }, 3000));
  EXPECT_LE(seconds(), 48);

  ASSERT_TRUE(Core().PrevChapter());
  EXPECT_TRUE(PumpUntil(chapterIs(3), 3000)) << Core().CurrentChapter();

  ASSERT_TRUE(Core().PlayChapter(2));
  EXPECT_TRUE(PumpUntil(chapterIs(2), 3000)) << Core().CurrentChapter();
  EXPECT_TRUE(PumpUntil([&] { return seconds() >= 15 && seconds() <= 18; }, 3000)) << seconds();
  EXPECT_EQ(Core().CurrentTitle(), 1u);
}

TEST_F(DiscCoreTest, ToggleMenuShowsTheMenuTheDiscHas) {
  ASSERT_TRUE(Open("menu"));
  ASSERT_TRUE(SafeSearch(window, SeekForm::TitleRipper, 2, window.seekEvent).reached);
  // The disc has no root menu: refused, and the title plays on.
  EXPECT_FALSE(Core().ToggleMenu(DVD_MENU_Root));
  EXPECT_FALSE(Core().InMenu());
  EXPECT_EQ(Core().CurrentDomain(), DVD_DOMAIN_Title);
  // Its title menu is the video manager menu.
  ASSERT_TRUE(Core().ToggleMenu(DVD_MENU_Title));
  EXPECT_TRUE(Core().InMenu());
  EXPECT_EQ(Core().GetState(), CDvdMpcCore::kPlaying);
  EXPECT_TRUE(PumpUntil([] { return CurrentCore()->CurrentDomain() == DVD_DOMAIN_VideoManagerMenu; }, 3000));
}

TEST_F(DiscCoreTest, ArrowKeysAndEnterWorkTheMenu) {
  ASSERT_TRUE(Open("menu", PlaybackWindowKind::MovieEditor));
  ASSERT_TRUE(PumpUntil([] { return CurrentCore()->ButtonsAvailable() == 2; }, 3000));
  uint32_t available = 0, current = 0;
  ASSERT_TRUE(Succeeded(Core().GetCurrentButton(&available, &current)));
  EXPECT_EQ(current, 1u);
  EXPECT_TRUE(Core().KeyUp(kKeyDown));
  ASSERT_TRUE(Succeeded(Core().GetCurrentButton(&available, &current)));
  EXPECT_EQ(current, 2u);
  EXPECT_TRUE(Core().KeyUp(kKeyUp));
  ASSERT_TRUE(Succeeded(Core().GetCurrentButton(&available, &current)));
  EXPECT_EQ(current, 1u);
  EXPECT_TRUE(Core().KeyUp(kKeyDown));
  EXPECT_TRUE(Core().KeyUp(kKeyEnter));  // "t2"
  EXPECT_TRUE(PumpUntil([] { return CurrentCore()->CurrentDomain() == DVD_DOMAIN_Title; }, 5000));
  EXPECT_EQ(Core().CurrentTitle(), 2u);
}

TEST_F(DiscCoreTest, OpeningEndsThePreviousCoreAndRefusesWhatIsNoDisc) {
  ASSERT_TRUE(Open("feature", PlaybackWindowKind::PlayerRecorder));
  CDvdMpcCore* first = CurrentCore();
  EXPECT_EQ(first->DiscFolder(), kDiscs + "feature/");
  ASSERT_TRUE(Open("menu.iso", PlaybackWindowKind::CropEditor));
  EXPECT_EQ(Core().DiscFolder(), kDiscs + "menu.iso");  // an image keeps its name
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeFast);

  EXPECT_FALSE(Open("damaged/empty"));
  EXPECT_EQ(CurrentCore(), nullptr);
  EXPECT_EQ(CurrentClock(), nullptr);
  EXPECT_EQ(CurrentCorePosition().exists, 0);
  ASSERT_FALSE(window.boxes.empty());
  EXPECT_EQ(window.boxes.back(), "Note|The opened directory is not a valid DVD source");
}

}  // namespace
}  // namespace tarn
