// The batch run driven through the window's message queue: "Start now",
// the title seek's reports, the ripper thread's results, next title and
// batch end, with a recording view and stand-ins that report as the title
// seek and the ripper thread do.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/settings.h"
#include "batch_test_support.h"
#include "platform/message_queue.h"
#include "profiles/profile_catalogue.h"
#include "test_support.h"
#include "ui/ripper_commands.h"

namespace tarn {
namespace {

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Conversion().recording = 0;
    Conversion().batch = 0;
    Conversion().userStopped = 0;
    settings.outputFolder = dir / "out/";
    settings.disableScreenSaver = 1;
    settings.shutdownComputer = 0;
    auto profile = std::make_unique<AVOutputProfile>();
    profile->format = "mp4";
    profile->ext = "mp4";
    catalogue.profiles.push_back(std::move(profile));
    catalogue.currentProfile = 0;
    batch.SetSourceFolder("/discs/feature/");
    playback.batch = &batch;
    driver.batch = &batch;
  }

  // A row for title `number` of `seconds`, checked or not, named in the
  // output folder.
  void AddRow(int number, bool checked, double seconds = 72, double mb = 3) {
    auto job = std::make_unique<RipJob>();
    job->title = std::make_shared<DvdTitleEntry>();
    job->titleIndex = number - 1;
    job->fullEnd = job->trimmedEnd = seconds;
    job->checked = checked;
    job->estimatedMB = mb;
    job->destination = settings.outputFolder + "Film[" + std::to_string(number) + "].mp4";
    job->status = "";
    rows.Insert(std::move(job), "Title");
  }

  void Command(int id) { Run(kCommandMessage, id); }
  void Run(uint32_t message, intptr_t wparam = 0) {
    batch.Queue().Post(message, wparam, 0);
    while (platform::PumpMessages() > 0) {
    }
  }
  std::string Status(int row) { return rows.Row(row)->job->status; }

  test::TempDir dir;
  AppSettings settings;
  ProfileCatalogue catalogue;
  SourceRows rows;
  test::RecordingView view;
  test::StandInPlayback playback;
  test::StandInDriver driver;
  CTitleRipperBatch batch{rows, settings, catalogue, view, playback, driver};
};

TEST_F(BatchTest, ConvertsEveryCheckedRowInTurnAndEndsWithTheMessage) {
  AddRow(1, false);
  AddRow(2, true, 64, 2.5);
  AddRow(3, true, 66, 4);
  driver.outcomes[3] = 1;
  Command(kCmdStartNow);

  EXPECT_EQ(driver.askedMB, std::vector<int>{6});
  EXPECT_EQ(driver.started, (std::vector<int>{2, 3}));
  EXPECT_EQ(playback.seeks, (std::vector<int>{2, 3}));
  ASSERT_EQ(driver.ranges.size(), 2u);
  EXPECT_EQ(driver.ranges[0], std::make_pair(int64_t{0}, int64_t{640'000'000}));
  EXPECT_EQ(Status(0), "Ready");
  EXPECT_EQ(Status(1), "Completed");
  EXPECT_EQ(Status(2), "Failed");
  EXPECT_EQ(view.messages, std::vector<std::string>{"Mission accomplished!"});
  EXPECT_EQ(view.openedFolders, std::vector<std::string>{settings.outputFolder});
  EXPECT_EQ(Conversion().batch, 0);
  EXPECT_EQ(driver.loads, 1);
  EXPECT_EQ(driver.unloads, 1);
  EXPECT_EQ(view.blockers, 0);
  EXPECT_FALSE(playback.open);
  EXPECT_TRUE(std::filesystem::is_directory(settings.outputFolder));
}

TEST_F(BatchTest, WithoutACheckedRowStartNowDoesNothing) {
  AddRow(1, false);
  Command(kCmdStartNow);
  EXPECT_TRUE(driver.askedMB.empty());
  EXPECT_TRUE(playback.opened.empty());
  EXPECT_EQ(Status(0), "");
  EXPECT_EQ(Conversion().batch, 0);
}

TEST_F(BatchTest, DecliningTheFreeSpaceQuestionLeavesReadyRowsAndDeletedOutputsButNoBatch) {
  AddRow(1, true);
  AddRow(2, false);
  std::filesystem::create_directories(settings.outputFolder);
  test::WriteFile(rows.Row(0)->job->destination, "old");
  test::WriteFile(rows.Row(1)->job->destination, "kept");
  driver.freeSpaceAnswer = -1;
  Command(kCmdStartNow);

  EXPECT_EQ(Status(0), "Ready");
  EXPECT_EQ(Status(1), "Ready");
  EXPECT_FALSE(test::FileExistsForTest(rows.Row(0)->job->destination));
  EXPECT_TRUE(test::FileExistsForTest(rows.Row(1)->job->destination));
  EXPECT_EQ(Conversion().batch, 0);
  EXPECT_EQ(driver.loads, 0);
  EXPECT_TRUE(playback.opened.empty());
  EXPECT_EQ(view.blockers, 0);
}

TEST_F(BatchTest, JobResultMarksOnlyTheTargetRowAndOnlyForZeroOrOne) {
  AddRow(1, true);
  AddRow(2, true);
  driver.freeSpaceAnswer = -1;  // rows "Ready", target title 1, no batch
  Command(kCmdStartNow);
  Run(UM_JOB_RESULT, 2);
  EXPECT_EQ(Status(0), "Ready");
  Run(UM_JOB_RESULT, 1);
  EXPECT_EQ(Status(0), "Failed");
  Run(UM_JOB_RESULT, 0);
  EXPECT_EQ(Status(0), "Completed");
  EXPECT_EQ(Status(1), "Ready");
}

TEST_F(BatchTest, NextTitleOneRepeatsTheTargetAndZeroAfterTheLastEndsTheBatch) {
  AddRow(1, true);
  AddRow(2, true);
  driver.freeSpaceAnswer = -1;
  Command(kCmdStartNow);
  Conversion().batch = 1;
  driver.outcomes[1] = 1;
  driver.outcomes[2] = 1;

  // With 1 the target title 1 is sought and converted again; the job's own
  // "next title" (0) then moves on to 2, and the one after 2 ends the batch.
  Run(UM_NEXT_TITLE, 1);
  EXPECT_EQ(playback.seeks, (std::vector<int>{1, 2}));
  EXPECT_EQ(driver.started, (std::vector<int>{1, 2}));
  EXPECT_EQ(view.messages, std::vector<std::string>{"Mission accomplished!"});
  EXPECT_EQ(Conversion().batch, 0);
}

TEST_F(BatchTest, ShutdownAfterANormalEndShowsNothing) {
  settings.shutdownComputer = 1;
  AddRow(1, true);
  Command(kCmdStartNow);
  EXPECT_EQ(Status(0), "Completed");
  EXPECT_EQ(driver.shutdowns, 1);
  EXPECT_TRUE(view.messages.empty());
  EXPECT_TRUE(view.openedFolders.empty());
  EXPECT_EQ(view.blockers, 0);
}

TEST_F(BatchTest, AUserStopEndsTheBatchWithMissionStoppedAndNoShutdown) {
  settings.shutdownComputer = 1;
  AddRow(1, true);
  AddRow(2, true);
  driver.outcomes[1] = 2;
  Command(kCmdStartNow);
  EXPECT_EQ(driver.started, std::vector<int>{1});
  EXPECT_EQ(Status(0), "Failed");
  EXPECT_EQ(Status(1), "Ready");
  EXPECT_EQ(driver.shutdowns, 0);
  EXPECT_EQ(view.messages, std::vector<std::string>{"Mission Stopped!"});
  EXPECT_EQ(Conversion().userStopped, 0);
}

TEST_F(BatchTest, AUserStopDuringTheSeekEndsTheBatchWithoutAJob) {
  AddRow(1, true);
  AddRow(2, true);
  playback.stopDuringSeek = true;
  Command(kCmdStartNow);
  EXPECT_TRUE(driver.started.empty());
  EXPECT_EQ(playback.seeks, std::vector<int>{1});
  EXPECT_EQ(Status(0), "Failed");
  EXPECT_EQ(Status(1), "Ready");
  EXPECT_EQ(view.messages, std::vector<std::string>{"Mission Stopped!"});
  EXPECT_EQ(Conversion().batch, 0);
  EXPECT_FALSE(playback.open);
}

TEST_F(BatchTest, ATitleThatCannotBeReachedFailsItsRowAndTheBatchGoesOn) {
  AddRow(1, true);
  AddRow(2, true);
  playback.unreachable = {1};
  Command(kCmdStartNow);
  EXPECT_EQ(Status(0), "Failed");
  EXPECT_EQ(Status(1), "Completed");
  EXPECT_EQ(driver.started, std::vector<int>{2});
  EXPECT_EQ(view.messages, std::vector<std::string>{"Mission accomplished!"});
}

TEST_F(BatchTest, ADiscThatNoLongerOpensFailsEachRowInsteadOfWaitingForever) {
  AddRow(1, true);
  AddRow(2, true);
  playback.failOpen = true;
  Command(kCmdStartNow);
  EXPECT_EQ(Status(0), "Failed");
  EXPECT_EQ(Status(1), "Failed");
  EXPECT_TRUE(driver.started.empty());
  EXPECT_EQ(Conversion().batch, 0);
}

TEST_F(BatchTest, TheJobStartsAtItsWindowWithATrimmedRange) {
  AddRow(1, true, 3600);
  RipJob& job = *rows.Row(0)->job;
  job.trimmedStart = 30;
  job.trimmedEnd = 600;
  job.trimmed = 1;
  playback.total = {1, 0, 0, 0};
  Command(kCmdStartNow);
  ASSERT_EQ(playback.playedAt.size(), 1u);
  // Playback starts a little before the range, which the capture trims.
  EXPECT_EQ(PackTimecode(playback.playedAt[0]), PackTimecode({0, 0, 28, 0}));
  EXPECT_EQ(PackTimecode(batch.LastJobWindow().window.start), PackTimecode({0, 0, 30, 0}));
  EXPECT_EQ(PackTimecode(batch.LastJobWindow().window.end), PackTimecode({0, 9, 59, 0}));
  EXPECT_EQ(Progress().endSeconds, 599);
  EXPECT_EQ(Progress().lengthSeconds, 569);
  EXPECT_EQ(driver.ranges[0], std::make_pair(int64_t{300'000'000}, int64_t{6'000'000'000}));
}

// Pictures and sound of the place playing before the jump to the job's
// start must not reach the job: the capture is taken from the engine before
// the job records, stays away over the jump and comes back after it.
TEST_F(BatchTest, TheCaptureIsHeldAcrossTheJumpToTheJobsStart) {
  AddRow(1, true);
  Command(kCmdStartNow);
  ASSERT_EQ(driver.started.size(), 1u);
  const std::vector<std::string> expected = {"pause", "hold capture", "jump, held, recording",
                                             "resume capture, recording", "play, recording"};
  EXPECT_EQ(playback.steps, expected);
}

TEST_F(BatchTest, CancelQuestionsAskAndAnswer) {
  AddRow(1, true);
  view.answer = false;
  EXPECT_EQ(batch.Queue().Send(UM_CONFIRM_CANCEL_RECORD), 1);
  EXPECT_EQ(view.questions, std::vector<std::string>{"Are you sure to cancel record?"});

  // The remux question only while a remux runs.
  Run(UM_CONFIRM_CANCEL_REMUX);
  EXPECT_EQ(view.questions.size(), 1u);
  Conversion().remuxRunning = 1;
  view.answer = true;
  Run(UM_CONFIRM_CANCEL_REMUX);
  EXPECT_EQ(view.questions.back(), "Are you sure to cancel remux?");
  EXPECT_EQ(Conversion().remuxRunning, 0);
  EXPECT_EQ(Conversion().userStopped, 1);
  Conversion().userStopped = 0;
}

TEST_F(BatchTest, TheStatusLineRefreshesOncePerFiveSecondsOfPlayback) {
  AddRow(1, true, 100);
  playback.open = true, playback.state = kCorePlaying;
  Conversion().recording = 1;
  Progress().startSeconds = 0;
  Progress().lengthSeconds = 100;
  Progress().lastStatusPosition = PackTimecode({0, 0, 0, 0});
  view.progress = true;
  for (uint8_t s : {1, 4, 5, 7, 9, 10, 12}) {
    playback.now = {0, 0, s, 0};
    batch.OnTimeUpdate();
  }
  EXPECT_EQ(view.percents, (std::vector<int>{5, 10}));
  EXPECT_NE(view.statusLine.find("Finished 10.00%;"), std::string::npos) << view.statusLine;
  Conversion().recording = 0;
}

}  // namespace
}  // namespace tarn
