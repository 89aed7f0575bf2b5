// The playback core against a scripted graph: the event table, the error and
// parental-level boxes and the input handling, which need navigator events
// and answers a real disc never gives.
#include <gtest/gtest.h>

#include "core_test_support.h"
#include "playback/core_position.h"
#include "playback/virtual_clock.h"
#include "scripted_graph.h"
#include "test_support.h"

namespace tarn {
namespace {

using namespace tarnplayer;
using test::Graph;

class ScriptedCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ResetGraph();
    core = new CDvdMpcCore(&window, &window, &window, test::ScriptedEngine());
    SetCurrentCore(core);
    core->SetDiscFolder("/discs/feature/");
  }
  void TearDown() override {
    delete core;
    EXPECT_EQ(CurrentCore(), nullptr);
    EXPECT_EQ(CurrentClock(), nullptr);
    EXPECT_EQ(Graph().refCount, 0) << "every interface released";
  }
  void OpenAttached() {
    ASSERT_TRUE(core->Open());
    ASSERT_TRUE(core->AttachWindow());
    ASSERT_TRUE(core->SetNavigatorOptions());
  }
  // Lets the window's queue deliver the graph's notification.
  void Deliver() {
    ASSERT_NE(Graph().notify, nullptr);
    Graph().notify(Graph().notifyContext, UM_DVD_GRAPH_EVENT, 0);
    platform::PumpMessages();
  }

  test::TestWindow window;
  CDvdMpcCore* core = nullptr;
};

TEST(FitVideoTest, FitsThePictureIntoTheHost) {
  struct Case {
    int32_t cw, ch;
    uint32_t ax, ay;
    VideoRect expected;
  } cases[] = {
      {640, 480, 16, 9, {0, 60, 640, 360}},
      {800, 480, 4, 3, {80, 0, 640, 480}},
      {640, 480, 4, 3, {0, 0, 640, 480}},
      {641, 480, 16, 9, {0, 60, 641, 360}},     // 641 / 1.777 = 360.56, trunc; (480 - 360) / 2
      {801, 480, 4, 3, {80, 0, 640, 480}},      // (801 - 640) / 2 rounds toward zero
      {640, 480, 0, 0, {0, 0, 640, 480}},       // no attributes read yet: the whole window
      {0, 0, 16, 9, {0, 0, 0, 0}},              // a window without area
  };
  for (const Case& c : cases)
    EXPECT_EQ(FitVideo(c.cw, c.ch, c.ax, c.ay), c.expected) << c.cw << "x" << c.ch << " " << c.ax << ":" << c.ay;
}

TEST_F(ScriptedCoreTest, OpenSetsTheClockAndLayoutUsesTheAspect) {
  EXPECT_EQ(core->Play(), E_FAIL);  // Closed
  EXPECT_FALSE(core->Pause());
  EXPECT_FALSE(core->PlayTitle(1));
  EXPECT_FALSE(core->ToggleMenu(DVD_MENU_Root));
  EXPECT_FALSE(core->Stop());
  EXPECT_TRUE(Graph().calls.empty());

  OpenAttached();
  EXPECT_EQ(core->GetState(), CDvdMpcCore::kStopped);
  EXPECT_NE(CurrentClock(), nullptr);
  EXPECT_EQ(Graph().syncSource, static_cast<IReferenceClock*>(CurrentClock()));
  EXPECT_TRUE(Graph().Called("SetOption 1 0"));
  EXPECT_TRUE(Graph().Called("SetOption 2 1"));
  EXPECT_TRUE(Graph().Called("SetOption 3 1"));
  EXPECT_FALSE(core->Pause());  // Stopped

  // The child style replaces caption and frame.
  EXPECT_TRUE(Graph().Called("Style " + std::to_string(((0x06CF0000u & 0xFF3BFFFFu) | 0x40000000u))));
  core->RefreshTitleInfo(-1);  // reads 16:9 and 720x576
  core->LayoutVideo();
  EXPECT_EQ(core->VideoDestination(), (VideoRect{0, 60, 640, 360}));
  EXPECT_TRUE(Graph().Called("Destination 0 60 640 360"));
  EXPECT_TRUE(Graph().Called("WindowPosition 0 0 640 480"));

  const CorePosition& p = CurrentCorePosition();
  EXPECT_EQ(p.exists, 1);
  EXPECT_EQ(p.aspectX, 16u);
  EXPECT_EQ(p.width, 720);
  EXPECT_EQ(p.state, CDvdMpcCore::kStopped);
  EXPECT_EQ(p.eventSinkQueue, window.QueueId());
}

TEST_F(ScriptedCoreTest, StatesAndTheResumeStep) {
  OpenAttached();
  EXPECT_EQ(core->Play(), S_OK);
  EXPECT_EQ(core->GetState(), CDvdMpcCore::kPlaying);
  EXPECT_TRUE(core->Pause());
  EXPECT_EQ(core->GetState(), CDvdMpcCore::kPaused);
  Graph().calls.clear();
  EXPECT_TRUE(core->NextChapter());  // resumes first
  EXPECT_EQ(Graph().calls, (std::vector<std::string>{"Pause 0", "PlayNextChapter"}));
  EXPECT_EQ(core->GetState(), CDvdMpcCore::kPlaying);

  Graph().playChapterResult = VFW_E_DVD_OPERATION_INHIBITED;
  EXPECT_FALSE(core->PlayChapter(3));
  EXPECT_FALSE(core->PlayTitle(2));
  EXPECT_EQ(window.notes, (std::vector<std::string>{"inhibited", "inhibited"}));
  Graph().playChapterResult = E_FAIL;  // other failures just return false
  EXPECT_FALSE(core->PlayChapter(3));
  EXPECT_EQ(window.notes.size(), 2u);

  Graph().calls.clear();
  EXPECT_TRUE(core->Pause());
  EXPECT_TRUE(core->Stop());
  EXPECT_EQ(Graph().calls,
            (std::vector<std::string>{"Pause 1", "Notify off", "Pause 0", "SetOption 1 1", "GraphStop", "SetOption 1 0"}));
  EXPECT_EQ(core->GetState(), CDvdMpcCore::kStopped);
  // A stopped core gets no more events.
  Graph().Push(EC_DVD_CHAPTER_START, 2);
  EXPECT_EQ(core->HandleGraphEvent(), 0);
  EXPECT_EQ(window.notes.size(), 2u);
}

TEST_F(ScriptedCoreTest, PlayTimeFlagsAndLogLines) {
  test::LogCapture log;
  OpenAttached();
  EXPECT_TRUE(core->PlayTime(DVD_HMSF_TIMECODE{0, 1, 5, 0}, false));
  EXPECT_TRUE(core->PlayTime(DVD_HMSF_TIMECODE{0, 0, 30, 0}, true));
  EXPECT_TRUE(Graph().Called("PlayAtTime 1:5 1"));
  EXPECT_TRUE(Graph().Called("PlayAtTime 0:30 4"));
  EXPECT_TRUE(log.Contains("CDvdMpcCore::PlayTime() hh:mm:ss 0:1:5\n"));
  EXPECT_TRUE(log.Contains("CDvdMpcCore::PlayTime() successful\n"));
}

TEST_F(ScriptedCoreTest, RepeatedTitleLogsAndDoesNothingElse) {
  test::LogCapture log;
  OpenAttached();
  Graph().Push(EC_DVD_TITLE_CHANGE, 2);
  Deliver();
  EXPECT_EQ(core->CurrentTitle(), 2u);
  EXPECT_EQ(window.notes, (std::vector<std::string>{"title 2"}));
  Graph().calls.clear();
  window.notes.clear();

  Graph().Push(EC_DVD_TITLE_CHANGE, 2);
  Deliver();
  EXPECT_TRUE(log.Contains("Get EC_DVD_TITLE_CHANGE lparam:2, m_ulCurTitle:2\n"));
  EXPECT_TRUE(log.Contains("We have already get this title 2 info so break\n"));
  EXPECT_TRUE(window.notes.empty());
  EXPECT_FALSE(Graph().Called("GetTotalTitleTime"));
  EXPECT_TRUE(Graph().Called("Free 258"));
}

TEST_F(ScriptedCoreTest, TitleDomainRefreshesThenNotifiesTitleBeforeDomain) {
  OpenAttached();
  Graph().locationTitle = 3;
  Graph().totalTime = DVD_HMSF_TIMECODE{1, 5, 0, 0};
  Graph().Push(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoManagerMenu);
  Graph().Push(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title);
  Deliver();
  EXPECT_EQ(window.notes, (std::vector<std::string>{"domain 2", "title 3", "domain 4"}));
  EXPECT_EQ(core->CurrentTitle(), 3u);
  EXPECT_EQ(core->DomainName(), "TITLE");
  EXPECT_FALSE(core->InMenu());
  EXPECT_EQ(core->TotalTitleTime().bHours, 1);
  EXPECT_EQ(core->ChapterCount(), 5u);
  EXPECT_EQ(core->TitleCount(), 4u);
  EXPECT_EQ(CurrentCorePosition().title, 3u);
  EXPECT_EQ(CurrentCorePosition().domain, DVD_DOMAIN_Title);
}

TEST_F(ScriptedCoreTest, RecordModeSkipsRefreshAndDomainCallbacks) {
  test::LogCapture log;
  OpenAttached();
  ASSERT_EQ(CurrentClock()->SetMode(CVirtualClock::kModeRecord), 1);
  Graph().Push(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title);
  Deliver();
  EXPECT_TRUE(window.notes.empty());
  EXPECT_FALSE(Graph().Called("GetCurrentLocation"));
  EXPECT_TRUE(log.Contains("EC_DVD_DOMAIN_CHANGE, we are in record mode so don't run RefreshTitleInfo\n"));
  EXPECT_TRUE(log.Contains("EC_DVD_DOMAIN_CHANGE, we are in record mode so don't call domain callback\n"));
  EXPECT_EQ(core->CurrentDomain(), DVD_DOMAIN_Title);
}

TEST_F(ScriptedCoreTest, ErrorsAndWarnings) {
  OpenAttached();
  core->Play();
  Graph().calls.clear();
  Graph().Push(EC_DVD_ERROR, 9);
  Deliver();
  EXPECT_TRUE(window.boxes.empty());
  EXPECT_FALSE(Graph().Called("GraphStop"));
  EXPECT_EQ(window.notes, (std::vector<std::string>{"error"}));

  Graph().Push(EC_DVD_ERROR, DVD_ERROR_InvalidDVD1_0Disc);
  Deliver();
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0],
            "Error|This DVD-Video disc is incorrectly authored for v1.0  of the spec.\nCan't playback this disc.");
  EXPECT_TRUE(Graph().Called("GraphStop"));
  EXPECT_EQ(core->GetState(), CDvdMpcCore::kPlaying);  // the state is left alone

  Graph().Push(EC_DVD_WARNING, DVD_WARNING_Read);
  Graph().Push(EC_DVD_WARNING, DVD_WARNING_IllegalNavCommand);
  Deliver();
  ASSERT_EQ(window.boxes.size(), 2u);
  EXPECT_EQ(window.boxes[1], "Warning|Could not read part of a file on the DVD disc. Playback may not continue.");
  EXPECT_EQ(window.notes, (std::vector<std::string>{"error", "error", "warning", "warning"}));
}

TEST_F(ScriptedCoreTest, ParentalLevelAsksAndPassesTheAnswer) {
  OpenAttached();
  window.answers = {kAnswerYes, kAnswerNo};
  Graph().Push(EC_DVD_PARENTAL_LEVEL_CHANGE, 6);
  Graph().Push(EC_DVD_PARENTAL_LEVEL_CHANGE, 3);
  Deliver();
  EXPECT_EQ(window.boxes, (std::vector<std::string>{"Accept Change?|Accept Parental Level Change Request to level 6?",
                                                    "Accept Change?|Accept Parental Level Change Request to level 3?"}));
  EXPECT_EQ(Graph().CountCalls("AcceptParental 1"), 1u);
  EXPECT_EQ(Graph().CountCalls("AcceptParental 0"), 1u);
}

TEST_F(ScriptedCoreTest, SmallEventsUpdateTheSnapshot) {
  OpenAttached();
  core->Play();
  Graph().Push(EC_DVD_CURRENT_HMSF_TIME, 0x0C2A0100);  // 1 h 0 min 42 s 12 frames, hours in the low byte
  Graph().Push(EC_DVD_CHAPTER_START, 4);
  Graph().Push(EC_DVD_STILL_ON, 1);
  Graph().Push(EC_DVD_BUTTON_CHANGE);
  Graph().Push(EC_DVD_PLAYBACK_RATE_CHANGE, 10000);
  Graph().Push(EC_DVD_NO_FP_PGC);
  Graph().Push(EC_STEP_COMPLETE);
  Graph().Push(0x7777);  // unknown: nothing
  Deliver();
  EXPECT_EQ(core->CurrentTime().bHours, 0);
  EXPECT_EQ(core->CurrentTime().bMinutes, 1);
  EXPECT_EQ(core->CurrentTime().bSeconds, 42);
  EXPECT_EQ(core->CurrentTime().bFrames, 12);
  EXPECT_EQ(core->CurrentChapter(), 4u);
  EXPECT_TRUE(core->Still());
  EXPECT_EQ(core->ButtonsAvailable(), 2u);
  EXPECT_EQ(core->PlaybackRate(), 10000);
  EXPECT_TRUE(core->StepComplete());
  EXPECT_TRUE(Graph().Called("PlayTitle 1"));
  EXPECT_EQ(window.notes, (std::vector<std::string>{"time", "chapter 4", "button"}));
  EXPECT_EQ(Graph().CountCalls("Free "), 8u);

  // Play in a still ends the still.
  EXPECT_EQ(core->Play(), S_OK);
  EXPECT_TRUE(Graph().Called("StillOff"));
  EXPECT_FALSE(core->Still());
}

// A window that stops the core from inside a callback: the handler must not
// read through the event interface the stop released.
class StoppingWindow : public test::TestWindow {
 public:
  void OnChapterStart(uint32_t) override { CurrentCore()->Stop(); }
};

TEST(ScriptedCoreStopTest, StopInsideACallbackEndsTheEventLoop) {
  test::ResetGraph();
  StoppingWindow window;
  auto* core = new CDvdMpcCore(&window, &window, &window, test::ScriptedEngine());
  SetCurrentCore(core);
  ASSERT_TRUE(core->Open());
  ASSERT_TRUE(core->AttachWindow());
  Graph().Push(EC_DVD_CHAPTER_START, 2);
  Graph().Push(EC_DVD_CHAPTER_START, 3);
  EXPECT_EQ(core->HandleGraphEvent(), 0);
  EXPECT_EQ(core->CurrentChapter(), 2u);  // the second event was drained by Stop
  EXPECT_EQ(core->GetState(), CDvdMpcCore::kStopped);
  delete core;
  EXPECT_EQ(Graph().refCount, 0);
}

TEST_F(ScriptedCoreTest, VolumeMenuAndKeys) {
  test::LogCapture log;
  OpenAttached();
  core->SetVolume(0);
  EXPECT_EQ(core->GetVolume(), -10000);
  core->SetVolume(100);
  EXPECT_EQ(core->GetVolume(), 0);
  EXPECT_TRUE(log.Contains("set audio volume :-10000\n"));

  EXPECT_FALSE(core->ToggleMenu(DVD_MENU_Root));  // Stopped
  core->Play();
  EXPECT_TRUE(core->ToggleMenu(DVD_MENU_Root));
  EXPECT_TRUE(core->InMenu());
  EXPECT_TRUE(Graph().Called("ShowMenu 3 1"));
  EXPECT_TRUE(Graph().Called("WaitForEnd"));
  EXPECT_TRUE(core->ToggleMenu(DVD_MENU_Root));
  EXPECT_FALSE(core->InMenu());
  EXPECT_TRUE(Graph().Called("Resume 1"));

  Graph().calls.clear();
  Graph().domain = DVD_DOMAIN_VideoManagerMenu;  // Enter presses a menu's button
  EXPECT_TRUE(core->KeyUp(kKeyLeft));
  EXPECT_TRUE(core->KeyUp(kKeyUp));
  EXPECT_TRUE(core->KeyUp(kKeyRight));
  EXPECT_TRUE(core->KeyUp(kKeyDown));
  EXPECT_TRUE(core->KeyUp(kKeyEnter));
  EXPECT_TRUE(core->KeyUp(kKeyEscape));
  EXPECT_FALSE(core->KeyUp('A'));
  EXPECT_TRUE(core->MouseMove(10, 20));
  EXPECT_TRUE(core->LeftButtonUp(30, 40));
  EXPECT_FALSE(core->RightButtonDown());
  core->CloseRequest();
  EXPECT_EQ(Graph().calls, (std::vector<std::string>{"Relative 3", "Relative 1", "Relative 4", "Relative 2",
                                                     "ActivateButton", "SelectAt 10 20", "ActivateAt 30 40"}));
  EXPECT_EQ(window.notes, (std::vector<std::string>{"context", "close"}));
}

TEST_F(ScriptedCoreTest, TextsOfTheCurrentStreams) {
  OpenAttached();
  core->RefreshTitleInfo(-1);
  EXPECT_EQ(core->GetCurrentAudioText(), "English, AC3");
  EXPECT_EQ(core->GetCurrentSubtitleText(), "No Select");  // the graph reports subpictures disabled
  std::string text;
  EXPECT_TRUE(core->GetSubtitleLanguage(0, &text));
  EXPECT_EQ(text, "French");
}

TEST(ScriptedCoreOpenTest, AFailedOpenLeavesNothingBehind) {
  test::ResetGraph();
  test::TestWindow window;
  Graph().openResult = 0;
  {
    CDvdMpcCore core(&window, &window, &window, test::ScriptedEngine());
    EXPECT_FALSE(core.Open());
    core.Close();
    EXPECT_EQ(core.GetState(), CDvdMpcCore::kClosed);
    EXPECT_EQ(CurrentClock(), nullptr);
  }
  EXPECT_FALSE(Graph().Called("CloseMedia"));  // no graph was built
  EXPECT_EQ(CurrentCorePosition().exists, 0);

  // No engine at all opens nothing either.
  CDvdMpcCore missing(&window, &window, &window, EngineEntryPoints{});
  EXPECT_FALSE(missing.Open());
}

}  // namespace
}  // namespace tarn
