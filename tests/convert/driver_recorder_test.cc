// The recorder thread: the player/recorder window's recording from the
// encode to the end messages; a stopped recording keeps its file.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/rip_job.h"
#include "convert/stop_procedure.h"
#include "driver_fixture.h"

#include "convert/post_process.h"

namespace tarn {
namespace {

using test::DriverBench;
using Ids = std::vector<uint32_t>;

class RecorderThread : public DriverBench {
 protected:
  void SetUp() override {
    DriverBench::SetUp();
    UseProfile(140);  // FLV 320x240
    Settings().outputPath = out_ / "Rec.flv";
    Conversion().recording = 1;  // the window sets it before starting the thread
    context_.findJob = nullptr;
  }
};

TEST_F(RecorderThread, GoodRecordingIsPostProcessedAndEndsWithBatchDone) {
  EncoderWrites(200000);
  test::LogCapture log;
  Run(RecorderThreadMain);
  EXPECT_EQ(MessageIds(), (Ids{UM_PROGRESS_OPEN, UM_PROGRESS_OPEN, UM_PROGRESS_CLOSE, UM_BATCH_DONE}));
  EXPECT_EQ(seen_[0].text, "Converting " + out_ / "Rec.flv");
  EXPECT_EQ(seen_[1].text, "Remuxing " + out_ / "Rec.flv");
  EXPECT_EQ(postProcessed_, std::vector<std::string>{"flv"});
  EXPECT_EQ(test::ReadFile(out_ / "Rec.flv").size(), 200000u);
  EXPECT_TRUE(log.Contains("Complete convert first step\n"));
  EXPECT_TRUE(log.Contains("Send complete message\n"));
  EXPECT_EQ(Conversion().encodeDone.load(), 1);
  EXPECT_EQ(Conversion().remuxRunning.load(), 0);
  EXPECT_EQ(Conversion().recording.load(), 1);  // left to the window's stop procedure
  ASSERT_EQ(encodes_.size(), 1u);
  EXPECT_EQ(encodes_[0].frameSize, "320:240");
  EXPECT_EQ(encodes_[0].title, "Film");
}

TEST_F(RecorderThread, StoppedRecordingKeepsItsFileAndIsStillPostProcessed) {
  EncoderWritesUntilStopped();
  bool stopped = false;
  Run(RecorderThreadMain, [&] {
    if (stopped || test::ReadFile(out_ / "Rec.flv").size() < 150000) return;
    stopped = true;
    Conversion().userStopped = 1;
    RunStopProcedure(StopCaller::kPlayerRecorder, [] {});
  });
  ASSERT_TRUE(stopped);
  EXPECT_GE(test::ReadFile(out_ / "Rec.flv").size(), 150000u);
  EXPECT_EQ(postProcessed_, std::vector<std::string>{"flv"});
  EXPECT_EQ(Count(UM_BATCH_DONE), 1);
  EXPECT_EQ(Count(UM_JOB_RESULT), 0);
  EXPECT_EQ(Conversion().recording.load(), 0);  // cleared by the stop procedure
}

TEST_F(RecorderThread, StoppedFlvRecordingGetsItsPageFromTheRealPostStep) {
  test::TempDir program;
  test::WriteFile(program / "flv_player.swf", "player");
  SetPostProcessProgramFolder(program.path());
  context_.hooks.postProcess = nullptr;
  EncoderWritesUntilStopped();
  bool stopped = false;
  Run(RecorderThreadMain, [&] {
    if (stopped || test::ReadFile(out_ / "Rec.flv").size() < 150000) return;
    stopped = true;
    Conversion().userStopped = 1;
    RunStopProcedure(StopCaller::kPlayerRecorder, [] {});
  });
  SetPostProcessProgramFolder("");
  ASSERT_TRUE(stopped);
  EXPECT_GE(test::ReadFile(out_ / "Rec.flv").size(), 150000u);
  const std::string page = test::ReadFile(out_ / "Rec.html");
  EXPECT_NE(page.find("flv_player.swf?file=Rec.flv"), std::string::npos) << page;
  EXPECT_NE(page.find("width=320 height=240"), std::string::npos) << page;
  EXPECT_EQ(test::ReadFile(out_ / "flv_player.swf"), "player");
  EXPECT_EQ(Count(UM_BATCH_DONE), 1);
}

TEST_F(RecorderThread, TooSmallRecordingSkipsThePostStepButStillEnds) {
  EncoderWrites(102400);
  Run(RecorderThreadMain);
  // The sent UM_PROGRESS_CLOSE may overtake the posted messages before it.
  Ids posted;
  for (uint32_t id : MessageIds())
    if (id != UM_PROGRESS_OPEN && id != UM_PROGRESS_CLOSE) posted.push_back(id);
  EXPECT_EQ(posted, (Ids{UM_JOB_RESULT, UM_NEXT_TITLE, UM_BATCH_DONE}));
  EXPECT_EQ(Count(UM_PROGRESS_OPEN), 1);
  EXPECT_EQ(Count(UM_PROGRESS_CLOSE), 1);
  EXPECT_EQ(Find(UM_JOB_RESULT)->wparam, 1);
  EXPECT_TRUE(postProcessed_.empty());
  EXPECT_TRUE(test::FileExistsForTest(out_ / "Rec.flv"));  // a recording is never deleted
}

TEST_F(RecorderThread, UsesTheCoresCropUnchanged) {
  crop_.crop = {8, 0, 704, 480};
  EncoderWrites(200000);
  Run(RecorderThreadMain);
  EXPECT_EQ(crop_.sets, 0);
  ASSERT_EQ(encodes_.size(), 1u);
  EXPECT_EQ(encodes_[0].crop, "704:480:8:0");
}

TEST_F(RecorderThread, FileThatAppearedUnderTheNameIsNotOverwritten) {
  test::WriteFile(out_ / "Rec.flv", "appeared meanwhile");
  EncoderWrites(200000);
  Run(RecorderThreadMain);
  EXPECT_EQ(test::ReadFile(out_ / "Rec.flv"), "appeared meanwhile");
  EXPECT_EQ(Settings().outputPath, out_ / "Rec_0.flv");
  EXPECT_EQ(test::ReadFile(out_ / "Rec_0.flv").size(), 200000u);
}

}  // namespace
}  // namespace tarn
