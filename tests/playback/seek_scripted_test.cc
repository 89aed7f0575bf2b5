// The title seek's outcomes, its button presses and the fast-forward rules,
// driven through a scripted graph where a disc would need to fail on
// purpose (a menu that is never left, a batch job that fails).
#include <gtest/gtest.h>

#include "app/user_messages.h"
#include "core_test_support.h"
#include "seek_window.h"
#include "playback/clock_mode.h"
#include "playback/main_movie_seek.h"
#include "playback/safe_search.h"
#include "playback/seek_state.h"
#include "playback/virtual_clock.h"
#include "scripted_graph.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::Graph;

class ScriptedSeekTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ResetGraph();
    auto* core = new CDvdMpcCore(&window, &window, &window, test::ScriptedEngine());
    SetCurrentCore(core);
    ASSERT_TRUE(core->Open());
    ASSERT_TRUE(core->AttachWindow());
    SetClockMode(CVirtualClock::kModeFast);
    core->Play();
  }
  void TearDown() override {
    DestroyCurrentCore();
    SeekPending() = 0;
    Conversion().batch = 0;
    EXPECT_EQ(Graph().refCount, 0);
  }
  void Deliver() {
    Graph().notify(Graph().notifyContext, UM_DVD_GRAPH_EVENT, 0);
    platform::PumpMessages();
  }

  test::SeekWindow window;
};

TEST_F(ScriptedSeekTest, AMenuThatIsNeverLeftGetsOneButtonPressPerAttempt) {
  test::LogCapture log;
  Graph().domain = tarnplayer::DVD_DOMAIN_VideoManagerMenu;
  Graph().Push(tarnplayer::EC_DVD_DOMAIN_CHANGE, tarnplayer::DVD_DOMAIN_VideoManagerMenu);
  Deliver();
  const SafeSearchResult r = SafeSearch(window, SeekForm::TitleRipper, 2, window.seekEvent, 0);
  EXPECT_FALSE(r.reached);
  EXPECT_EQ(r.attempts, 10);
  EXPECT_EQ(Graph().CountCalls("ActivateButton"), 10u);
  EXPECT_EQ(Graph().CountCalls("PlayChapterInTitle 2 1 4"), 20u);  // twice per attempt
  EXPECT_TRUE(log.Contains("SDTC NO.3 way: get selected button resault:0, 2, 1\n"));
  EXPECT_TRUE(log.Contains("SDTC NO.3 way: active selected button resault:0\n"));
  EXPECT_TRUE(log.Contains("SDTC: times:9\n"));
  EXPECT_FALSE(log.Contains("SDTC: times:10\n"));
  EXPECT_TRUE(log.Contains("safe search process failed, send close dvd player message!.\n"));
  // Interactive: the player closes and the user hears why.
  EXPECT_EQ(window.sent, (std::vector<uint32_t>{UM_LOADING_OPEN, UM_CLOSE_PLAYER, UM_LOADING_CLOSE}));
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0],
            "Note|Failed to search to Title2, so cannot play this title. \nPlease click top-right button switch to "
            "DVD Recorder screen and try again.");
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeNormal);
  EXPECT_EQ(SeekPending(), 0);
}

TEST_F(ScriptedSeekTest, AFailedBatchJobIsMarkedAndTheBatchGoesOn) {
  Conversion().batch = 1;
  Graph().domain = tarnplayer::DVD_DOMAIN_VideoTitleSetMenu;
  Graph().Push(tarnplayer::EC_DVD_DOMAIN_CHANGE, tarnplayer::DVD_DOMAIN_VideoTitleSetMenu);
  Deliver();
  EXPECT_FALSE(SafeSearch(window, SeekForm::TitleRipper, 3, window.seekEvent, 0).reached);
  EXPECT_EQ(window.sent,
            (std::vector<uint32_t>{UM_LOADING_OPEN, UM_CLOSE_PLAYER, UM_JOB_RESULT, UM_NEXT_TITLE, UM_LOADING_CLOSE}));
  EXPECT_EQ(window.jobResult, 1);
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ScriptedSeekTest, ArrivalSelectsTheJobsStreamsAndStartsTheBatchJob) {
  test::LogCapture log;
  Conversion().batch = 1;
  Graph().titleJumpArrives = true;
  Graph().domain = tarnplayer::DVD_DOMAIN_FirstPlay;
  RipJob unchecked;
  unchecked.title = std::make_shared<DvdTitleEntry>();
  unchecked.titleIndex = 2;
  RipJob job;
  job.title = std::make_shared<DvdTitleEntry>();
  job.title->audioStreamNumbers = {0, 2};  // stream 1 is absent on the disc
  job.title->selectedAudio = 1;
  job.title->selectedSubtitle = -1;
  job.titleIndex = 2;
  job.checked = 1;
  window.jobs = {unchecked, job};
  Graph().calls.clear();

  const SafeSearchResult r = SafeSearch(window, SeekForm::TitleRipper, 3, window.seekEvent);
  EXPECT_TRUE(r.reached);
  EXPECT_EQ(r.attempts, 1);
  EXPECT_TRUE(log.Contains("SDTC NO.3 way: reach target title, while loop seeking output search loop.\n"));
  EXPECT_EQ(window.sent, (std::vector<uint32_t>{UM_LOADING_OPEN, UM_START_TITLE_RIP, UM_LOADING_CLOSE}));
  EXPECT_TRUE(Graph().Called("Audio 2"));
  EXPECT_TRUE(Graph().Called("SubpictureState 0"));
  EXPECT_FALSE(Graph().Called("Volume 0"));  // the batch keeps the sound as it is
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeNormal);
}

TEST_F(ScriptedSeekTest, CropEditorClosesTheLoadingDialogFirstAndStartsItsOverlay) {
  test::LogCapture log;
  Graph().titleJumpArrives = true;
  Graph().domain = tarnplayer::DVD_DOMAIN_FirstPlay;
  EXPECT_TRUE(SafeSearch(window, SeekForm::CropEditor, 1, window.seekEvent).reached);
  EXPECT_TRUE(log.Contains("\\\\\\\\\\\\\\\\\\\\SDTC: start search\\\\\\\\\\\\\\\\\\\\\\\\\\\n"));
  EXPECT_EQ(window.sent, (std::vector<uint32_t>{UM_LOADING_OPEN, UM_LOADING_CLOSE, 0}));
  EXPECT_TRUE(Graph().Called("Volume 0"));
  EXPECT_TRUE(Graph().Called("Destination 0 0 640 480"));  // LayoutVideo after arrival
}

TEST_F(ScriptedSeekTest, MovieEditorFailureStopsAndClosesThePlayback) {
  test::LogCapture log;
  EXPECT_FALSE(SafeSearch(window, SeekForm::MovieEditor, 4, window.seekEvent, 0).reached);
  EXPECT_TRUE(log.Contains("SDTC: failed, send close message!.\n"));
  EXPECT_EQ(window.boxes, (std::vector<std::string>{"Note|Play Video Failed!"}));
  EXPECT_EQ(CurrentCore(), nullptr);
  EXPECT_TRUE(Graph().Called("StopMedia"));
  EXPECT_TRUE(Graph().Called("CloseMedia"));
}

TEST_F(ScriptedSeekTest, AMenuAlreadyLeftByTheNavigatorIsNotPressed) {
  // The snapshot still says menu, the navigator is in the title already.
  Graph().Push(tarnplayer::EC_DVD_DOMAIN_CHANGE, tarnplayer::DVD_DOMAIN_VideoManagerMenu);
  Deliver();
  Graph().domain = tarnplayer::DVD_DOMAIN_Title;
  uint32_t available = 0, current = 0;
  ASSERT_TRUE(tarnplayer::Succeeded(CurrentCore()->GetCurrentButton(&available, &current)));
  EXPECT_EQ(CurrentCore()->ActivateButton(), tarnplayer::VFW_E_DVD_INVALIDDOMAIN);
  EXPECT_TRUE(CurrentCore()->KeyUp(kKeyEnter));
  EXPECT_FALSE(Graph().Called("ActivateButton"));
}

TEST_F(ScriptedSeekTest, WithoutAnOpenCoreTheSeekEndsAtOnce) {
  DestroyCurrentCore();
  const SafeSearchResult r = SafeSearch(window, SeekForm::TitleRipper, 1, window.seekEvent);
  EXPECT_FALSE(r.reached);
  EXPECT_EQ(r.attempts, 0);
  EXPECT_EQ(window.sent, (std::vector<uint32_t>{UM_LOADING_OPEN, UM_LOADING_CLOSE}));
  EXPECT_EQ(SeekPending(), 0);
}

TEST_F(ScriptedSeekTest, FastModeRulesOfTheWindows) {
  // The seek event is signalled only in fast mode.
  SignalSeekEvent(window.seekEvent);
  EXPECT_TRUE(window.seekEvent.Wait(0));
  SetClockMode(CVirtualClock::kModeNormal);
  SignalSeekEvent(window.seekEvent);
  EXPECT_FALSE(window.seekEvent.Wait(0));

  // The title ripper's time update ends fast mode once the target plays.
  SetClockMode(CVirtualClock::kModeFast);
  SeekPending() = 1;
  Graph().locationTitle = 2;
  Graph().Push(tarnplayer::EC_DVD_DOMAIN_CHANGE, tarnplayer::DVD_DOMAIN_Title);
  Deliver();
  TitleRipperTimeUpdate(3);
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeFast);
  TitleRipperTimeUpdate(2);
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeNormal);
  EXPECT_EQ(SeekPending(), 0);
}

TEST_F(ScriptedSeekTest, FastForwardToTheMainMovie) {
  CDvdMpcCore& core = *CurrentCore();
  MainMovieSeek seek;
  seek.Start(core, false);
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeNormal);
  EXPECT_EQ(SeekPending(), 0);
  EXPECT_EQ(core.GetVolume(), 0);

  seek.Start(core, true);
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeFast);
  EXPECT_EQ(SeekPending(), 1);
  EXPECT_EQ(core.GetVolume(), -10000);

  // A short title in the title domain: the root menu is tried once.
  Graph().totalTime = tarnplayer::DVD_HMSF_TIMECODE{0, 29, 59, 0};
  core.RefreshTitleInfo(-1);
  EXPECT_FALSE(seek.OnTimeUpdate(core, tarnplayer::DVD_DOMAIN_VideoManagerMenu));  // not in a title: nothing
  EXPECT_FALSE(Graph().Called("ShowMenu 3 1"));
  EXPECT_FALSE(seek.OnTimeUpdate(core, tarnplayer::DVD_DOMAIN_Title));
  EXPECT_FALSE(seek.OnTimeUpdate(core, tarnplayer::DVD_DOMAIN_Title));
  EXPECT_EQ(Graph().CountCalls("ShowMenu 3 1"), 1u);
  EXPECT_EQ(seek.RootMenuTried(), 1);
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeFast);

  // Highlighted buttons are pressed while the fast-forward runs.
  Graph().domain = tarnplayer::DVD_DOMAIN_VideoManagerMenu;
  seek.OnButtonChange(core);
  EXPECT_EQ(Graph().CountCalls("ActivateButton"), 1u);

  // An hour and more is the main movie.
  Graph().totalTime = tarnplayer::DVD_HMSF_TIMECODE{1, 5, 0, 0};
  core.RefreshTitleInfo(-1);
  EXPECT_TRUE(seek.OnTimeUpdate(core, tarnplayer::DVD_DOMAIN_Title));
  EXPECT_EQ(GetClockMode(), CVirtualClock::kModeNormal);
  EXPECT_EQ(SeekPending(), 0);
  EXPECT_TRUE(Graph().Called("SubpictureState 1"));
  EXPECT_EQ(core.GetVolume(), 0);
  seek.OnButtonChange(core);  // over: no more presses
  EXPECT_EQ(Graph().CountCalls("ActivateButton"), 1u);

  EXPECT_TRUE(IsMainMovieLength(0, 30));
  EXPECT_FALSE(IsMainMovieLength(0, 29));
  EXPECT_TRUE(IsMainMovieLength(1, 0));
}

}  // namespace
}  // namespace tarn
