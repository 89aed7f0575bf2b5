// Navigation through libTarnPlayer.so: menus and buttons, title and chapter
// jumps, time search, the events that mark places in the stream, and the
// timeline across cells whose time stamps restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "tarnplayer_engine_harness.h"

namespace tarnplayer::test {
namespace {

constexpr int64_t kSecond = 10000000;

// The pictures that arrived after log index `from`.
std::vector<Happening> PicturesAfter(const std::vector<Happening>& log, int from) {
  std::vector<Happening> out;
  for (size_t i = size_t(from) + 1; i < log.size(); ++i) {
    if (log[i].kind == Happening::Picture) out.push_back(log[i]);
  }
  return out;
}

TEST_F(EngineTest, MenuDiscStartsInAStillMenuAndAButtonPlaysItsTitle) {
  Start("menu/", 0);
  ASSERT_TRUE(WaitForEvent(EC_DVD_STILL_ON));
  auto log = recorder_.Snapshot();
  int firstPlay = FindEvent(log, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_FirstPlay);
  EXPECT_GE(firstPlay, 0);
  EXPECT_GT(FindEvent(log, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoManagerMenu), firstPlay);
  EXPECT_TRUE(HasEvent(log, EC_DVD_STILL_ON, 0));  // buttons: StillOff cannot end it
  EXPECT_FALSE(Pictures(log).empty());             // the still's picture was handed over
  int32_t domain = 0;
  ASSERT_EQ(graph_.info->GetCurrentDomain(&domain), S_OK);
  EXPECT_EQ(domain, DVD_DOMAIN_VideoManagerMenu);
  uint32_t buttons = 0, button = 0;
  ASSERT_EQ(graph_.info->GetCurrentButton(&buttons, &button), S_OK);
  EXPECT_EQ(buttons, 2u);
  EXPECT_EQ(button, 1u);
  // Chapters are no menu operation; a menu still with buttons ignores StillOff.
  EXPECT_EQ(graph_.dvd->PlayChapter(2, DVD_CMD_FLAG_Block, nullptr), VFW_E_DVD_OPERATION_INHIBITED);
  EXPECT_EQ(graph_.dvd->PlayNextChapter(0, nullptr), VFW_E_DVD_OPERATION_INHIBITED);
  EXPECT_EQ(graph_.dvd->StillOff(), VFW_E_DVD_OPERATION_INHIBITED);

  ASSERT_EQ(graph_.dvd->SelectRelativeButton(DVD_Relative_Lower), S_OK);
  ASSERT_EQ(graph_.info->GetCurrentButton(&buttons, &button), S_OK);
  EXPECT_EQ(button, 2u);
  ASSERT_EQ(graph_.dvd->SelectRelativeButton(DVD_Relative_Upper), S_OK);
  size_t before = recorder_.Snapshot().size();
  ASSERT_EQ(graph_.dvd->ActivateButton(), S_OK);
  ASSERT_TRUE(WaitForEvent(EC_DVD_TITLE_CHANGE, 1));
  ASSERT_TRUE(recorder_.WaitFor(
      [](const std::vector<Happening>& now) {
        int event = FindEvent(now, EC_DVD_TITLE_CHANGE, 1);
        return event >= 0 && PicturesAfter(now, event).size() >= 10;
      },
      15000));
  log = recorder_.Snapshot();
  int titleEvent = FindEvent(log, EC_DVD_TITLE_CHANGE, 1);
  ASSERT_GE(titleEvent, int(before));
  EXPECT_GE(FindEvent(log, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title), int(before));
  auto pictures = PicturesAfter(log, titleEvent);
  ASSERT_FALSE(pictures.empty());
  EXPECT_LT(pictures.front().start, kSecond / 2);
  DVD_PLAYBACK_LOCATION2 location{};
  ASSERT_EQ(graph_.info->GetCurrentLocation(&location), S_OK);
  EXPECT_EQ(location.TitleNum, 1u);
}

TEST_F(EngineTest, StopWithResetOnStopStartsTheDiscAgainFromFirstPlay) {
  Start("menu/", 0);
  ASSERT_TRUE(WaitForEvent(EC_DVD_STILL_ON));
  ASSERT_EQ(graph_.dvd->ActivateButton(), S_OK);
  ASSERT_TRUE(WaitForEvent(EC_DVD_TITLE_CHANGE, 1));
  ASSERT_EQ(graph_.dvd->SetOption(DVD_ResetOnStop, 1), S_OK);
  ASSERT_EQ(graph_.control->Stop(), S_OK);
  ASSERT_EQ(graph_.dvd->SetOption(DVD_ResetOnStop, 0), S_OK);
  int32_t state = -1;
  ASSERT_EQ(graph_.control->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  TakeEvents(recorder_);
  size_t before = recorder_.Snapshot().size();
  ASSERT_EQ(graph_.control->Run(), S_OK);
  ASSERT_TRUE(WaitForEvent(EC_DVD_STILL_ON, -1, 15000, before));
  auto log = recorder_.Snapshot();
  std::vector<Happening> later(log.begin() + long(before), log.end());
  EXPECT_GE(FindEvent(later, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_VideoManagerMenu), 0);
  int32_t domain = 0;
  ASSERT_EQ(graph_.info->GetCurrentDomain(&domain), S_OK);
  EXPECT_EQ(domain, DVD_DOMAIN_VideoManagerMenu);
}

TEST_F(EngineTest, PlayChapterInTitleSwitchesTitlesWithTheEventBeforeTheFirstNewPicture) {
  Start("feature/", 4.0, 1);
  ASSERT_TRUE(WaitForPictureAt(2 * kSecond));
  ASSERT_EQ(graph_.dvd->PlayChapterInTitle(2, 1, DVD_CMD_FLAG_Block, nullptr), S_OK);
  DVD_PLAYBACK_LOCATION2 location{};
  ASSERT_EQ(graph_.info->GetCurrentLocation(&location), S_OK);
  EXPECT_EQ(location.TitleNum, 2u);  // Block: carried out when the call returns
  ASSERT_TRUE(WaitForEvent(EC_DVD_TITLE_CHANGE, 2));
  ASSERT_TRUE(recorder_.WaitFor(
      [](const std::vector<Happening>& log) {
        int event = FindEvent(log, EC_DVD_TITLE_CHANGE, 2);
        return event >= 0 && PicturesAfter(log, event).size() >= 25;
      },
      15000));
  auto log = recorder_.Snapshot();
  int event = FindEvent(log, EC_DVD_TITLE_CHANGE, 2);
  auto fresh = PicturesAfter(log, event);
  // The new title's timeline starts again at its beginning, and every
  // picture after the event is title 2's: rising from there.
  EXPECT_LT(fresh.front().start, kSecond / 2);
  for (size_t i = 1; i < fresh.size(); ++i) ASSERT_GT(fresh[i].start, fresh[i - 1].start);
  // Pictures of title 1 and title 2 differ (testsrc against testsrc2).
  auto before = PicturesAfter(std::vector<Happening>(log.begin(), log.begin() + event), -1);
  ASSERT_FALSE(before.empty());
  EXPECT_NE(before.back().lumaSum, fresh.back().lumaSum);
  // The stream time was anchored anew: the first new picture was due at once.
  EXPECT_NEAR(double(fresh.front().streamTime + fresh.front().start), double(fresh.front().clockNow), 0.1 * kSecond);
}

// A jump right after the start flushes the first title's pictures, but the
// places passed on the way are still reported: the host learns the domain.
TEST_F(EngineTest, AJumpRightAfterTheStartStillReportsTheDomainAndTitle) {
  Start("feature/", 0);
  ASSERT_EQ(graph_.dvd->PlayChapterInTitle(2, 1, DVD_CMD_FLAG_Block, nullptr), S_OK);
  ASSERT_TRUE(WaitForEvent(EC_DVD_TITLE_CHANGE, 2));
  ASSERT_TRUE(WaitForPictureAt(kSecond));
  auto log = recorder_.Snapshot();
  EXPECT_TRUE(HasEvent(log, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title));
  EXPECT_FALSE(HasEvent(log, EC_DVD_STILL_ON));
  int event = FindEvent(log, EC_DVD_TITLE_CHANGE, 2);
  auto fresh = PicturesAfter(log, event);
  ASSERT_FALSE(fresh.empty());
  EXPECT_LT(fresh.front().start, kSecond / 2);
}

TEST_F(EngineTest, PlayAtTimeAndChapterStepsLandWhereAsked) {
  Start("feature/", 4.0, 1);
  ASSERT_TRUE(WaitForPictureAt(kSecond));

  struct Step {
    const char* what;
    std::function<HRESULT()> command;
    int64_t expected;  // 100 ns on the title's timeline
    uint32_t chapter;
  };
  DVD_HMSF_TIMECODE at30{0, 0, 30, 0};
  DVD_HMSF_TIMECODE at50{0, 0, 50, 0};
  std::vector<Step> steps = {
      {"time 0:00:30", [&] { return graph_.dvd->PlayAtTime(&at30, DVD_CMD_FLAG_Block, nullptr); }, 30 * kSecond, 3},
      {"next chapter", [&] { return graph_.dvd->PlayNextChapter(DVD_CMD_FLAG_Block, nullptr); }, 45 * kSecond, 4},
      {"previous chapter", [&] { return graph_.dvd->PlayPrevChapter(DVD_CMD_FLAG_Block, nullptr); }, 30 * kSecond, 3},
      {"time 0:00:50", [&] { return graph_.dvd->PlayAtTime(&at50, DVD_CMD_FLAG_Block, nullptr); }, 50 * kSecond, 4},
      {"chapter 2", [&] { return graph_.dvd->PlayChapter(2, DVD_CMD_FLAG_Block, nullptr); }, 15 * kSecond, 2},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    size_t before = recorder_.Snapshot().size();
    ASSERT_EQ(step.command(), S_OK);
    ASSERT_TRUE(recorder_.WaitFor(
        [&](const std::vector<Happening>& log) { return PicturesAfter(log, int(before) - 1).size() >= 5; }, 15000));
    // The jump started a new timeline with its own stream time; a picture
    // whose callback was under way during the command belongs to the old one.
    auto after = PicturesAfter(recorder_.Snapshot(), int(before) - 1);
    std::vector<Happening> fresh;
    for (const Happening& p : after) {
      if (p.streamTime == after.back().streamTime) fresh.push_back(p);
    }
    // The first pictures after the jump are where it went (a VOBU, half a second, of slack).
    EXPECT_NEAR(double(fresh.front().start), double(step.expected), 0.6 * kSecond);
    for (size_t i = 1; i < fresh.size(); ++i) ASSERT_GT(fresh[i].start, fresh[i - 1].start);
    DVD_PLAYBACK_LOCATION2 location{};
    ASSERT_EQ(graph_.info->GetCurrentLocation(&location), S_OK);
    EXPECT_EQ(location.TitleNum, 1u);
    EXPECT_EQ(location.ChapterNum, step.chapter);
    double seconds = location.TimeCode.bMinutes * 60 + location.TimeCode.bSeconds;
    EXPECT_NEAR(seconds, double(step.expected / kSecond), 2.0);
  }
  EXPECT_TRUE(HasEvent(recorder_.Snapshot(), EC_DVD_CHAPTER_START, 4));
}

TEST_F(EngineTest, TimeEventsComeOncePerSecondOfTitleTimeBeforeThatSecondsFirstPicture) {
  Start("feature/", 0, 1);
  ASSERT_TRUE(WaitForPictureAt(6 * kSecond));
  auto log = recorder_.Snapshot();
  int expectedSecond = 0;
  int64_t lastPicture = -1;
  for (const Happening& h : log) {
    if (h.kind == Happening::Picture) {
      lastPicture = h.start;
    } else if (h.kind == Happening::Event && h.code == EC_DVD_CURRENT_HMSF_TIME && expectedSecond <= 6) {
      DVD_HMSF_TIMECODE code;
      uint32_t packed = uint32_t(h.param1);
      std::memcpy(&code, &packed, sizeof(code));
      EXPECT_EQ(code.bHours, 0);
      EXPECT_EQ(code.bSeconds, expectedSecond) << "time events skip or repeat a second";
      // The picture before it belongs to the previous second.
      if (lastPicture >= 0) {
        EXPECT_LT(lastPicture, int64_t(expectedSecond) * kSecond);
      }
      ++expectedSecond;
    }
  }
  EXPECT_GE(expectedSecond, 6);
}

// The ntsc disc's title 2 and the avsync title restart their time stamps
// at every cell; the timeline goes on through them.
TEST_F(EngineTest, TimelineRisesThroughCellsWhoseTimeStampsRestart) {
  struct Case {
    const char* disc;
    uint32_t title;
    double seconds;
    int64_t frame;
  };
  for (const Case& c : {Case{"ntsc/", 2, 66.0, 333667}, Case{"avsync/", 1, 24.0, 400000}}) {
    SCOPED_TRACE(c.disc);
    Start(c.disc, 0, c.title);
    ASSERT_TRUE(WaitForEvent(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Stop, 20000));
    // The last audio blocks may still be on their way.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto log = recorder_.Snapshot();
    auto pictures = Pictures(log);
    ASSERT_GT(pictures.size(), 100u);
    for (size_t i = 1; i < pictures.size(); ++i) {
      ASSERT_GT(pictures[i].start, pictures[i - 1].start) << i;
      ASSERT_LT(pictures[i].start - pictures[i - 1].start, c.frame * 3 / 2) << "gap at picture " << i;
    }
    EXPECT_NEAR(double(pictures.back().stop) / kSecond, c.seconds, 0.2);
    // A piece cut by its picture count ends its sound a little before its
    // last picture (ntsc's, by about 0.1 s each); such gaps stay as they are.
    EXPECT_NEAR(double(AudioLength(log)) / kSecond, c.seconds, 0.35);
    if (std::string(c.disc) == "avsync/") {
      // A white picture and a beep at every whole second, on the same timeline.
      const std::vector<int64_t> flashes = FlashTimes(pictures), beeps = BeepTimes(log);
      ASSERT_GE(flashes.size(), 20u);
      ASSERT_GE(beeps.size(), 20u);
      for (int64_t flash : flashes) {
        int64_t nearest = INT64_MAX;
        for (int64_t beep : beeps) nearest = std::min(nearest, int64_t(std::llabs(beep - flash)));
        EXPECT_LT(nearest, 400000) << "flash at " << flash << " has no beep within one picture";
        EXPECT_LT(std::llabs(flash - (flash + kSecond / 2) / kSecond * kSecond), 400000) << flash;
      }
    }
    Close();
    recorder_.Clear();
  }
}

}  // namespace
}  // namespace tarnplayer::test
