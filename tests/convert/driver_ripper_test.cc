// The ripper thread: one batch row from its unique destination through the
// encode to the row's result, with the stand-in encoder forcing the outcome.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/encoder_library.h"
#include "convert/output_frame.h"
#include "convert/rip_job.h"
#include "convert/stop_procedure.h"
#include "driver_fixture.h"
#include "playback/core_position.h"

namespace tarn {
namespace {

using test::DriverBench;
using Ids = std::vector<uint32_t>;

class RipperThread : public DriverBench {};

TEST_F(RipperThread, OutputSizeDecidesBetweenFailedAndCompleted) {
  struct Case {
    long long bytes;
    bool good;
  } cases[] = {{0, false}, {102400, false}, {102401, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    seen_.clear();
    postProcessed_.clear();
    job_->destination = out_ / ("Size" + std::to_string(c.bytes) + ".mp4");
    EncoderWrites(c.bytes);
    test::LogCapture log;
    Run(RipperThreadMain);

    EXPECT_EQ(test::ReadFile(job_->destination).size(), static_cast<size_t>(c.bytes));
    if (c.good) {
      EXPECT_EQ(MessageIds(), (Ids{UM_PROGRESS_OPEN, UM_PROGRESS_CLOSE, UM_PROGRESS_OPEN, UM_PROGRESS_CLOSE,
                                   UM_JOB_RESULT, UM_NEXT_TITLE}));
      EXPECT_EQ(seen_[2].text, "Remuxing " + job_->destination);
      EXPECT_EQ(Find(UM_JOB_RESULT)->wparam, 0);
      EXPECT_EQ(postProcessed_, std::vector<std::string>{"mp4"});
      EXPECT_TRUE(log.Contains("Send ripper next title message\n"));
    } else {
      EXPECT_EQ(MessageIds(), (Ids{UM_PROGRESS_OPEN, UM_PROGRESS_CLOSE, UM_JOB_RESULT, UM_NEXT_TITLE}));
      EXPECT_EQ(Find(UM_JOB_RESULT)->wparam, 1);
      EXPECT_TRUE(postProcessed_.empty());
      EXPECT_TRUE(log.Contains("Output file is too small so guess this ripper is failed for unknow reason, and "
                               "ripper next\n"));
    }
    EXPECT_EQ(seen_[0].text, "Converting " + job_->destination);
    EXPECT_TRUE(log.Contains("Output file is " + std::to_string(c.bytes) + "\n"));
    EXPECT_EQ(Conversion().encodeDone.load(), 1);
    EXPECT_EQ(Conversion().recording.load(), 0);
    EXPECT_EQ(Conversion().remuxRunning.load(), 0);
    EXPECT_FALSE(test::FileExistsForTest(home_ / "tarn.drp"));
  }
}

TEST_F(RipperThread, ExistingDestinationIsNeverOverwritten) {
  test::WriteFile(out_ / "Film[1].mp4", "the user's own film");
  EncoderWrites(200000);
  Run(RipperThreadMain);
  EXPECT_EQ(test::ReadFile(out_ / "Film[1].mp4"), "the user's own film");
  EXPECT_EQ(job_->destination, out_ / "Film[1]_0.mp4");
  EXPECT_EQ(Settings().outputPath, out_ / "Film[1]_0.mp4");
  EXPECT_EQ(test::ReadFile(out_ / "Film[1]_0.mp4").size(), 200000u);
  ASSERT_EQ(encodes_.size(), 1u);
  EXPECT_EQ(encodes_[0].outputFile, out_ / "Film[1]_0.mp4");
}

TEST_F(RipperThread, UserStopDeletesOnlyTheEncodersFileAndEndsTheBatch) {
  test::WriteFile(out_ / "Film[1].mp4", "keep me");
  EncoderWritesUntilStopped();
  bool stopped = false;
  Run(RipperThreadMain, [&] {
    // The user stops once the encoder has written something.
    if (stopped || test::ReadFile(out_ / "Film[1]_0.mp4").size() < 8192) return;
    stopped = true;
    Conversion().userStopped = 1;
    RunStopProcedure(StopCaller::kTitleRipper, [] {});
  });
  ASSERT_TRUE(stopped);
  EXPECT_FALSE(test::FileExistsForTest(out_ / "Film[1]_0.mp4"));
  EXPECT_EQ(test::ReadFile(out_ / "Film[1].mp4"), "keep me");
  EXPECT_EQ(MessageIds(), (Ids{UM_PROGRESS_OPEN, UM_PROGRESS_CLOSE, UM_JOB_RESULT, UM_BATCH_DONE}));
  EXPECT_EQ(Find(UM_JOB_RESULT)->wparam, 1);
  EXPECT_EQ(Count(UM_NEXT_TITLE), 0);
  EXPECT_TRUE(postProcessed_.empty());
}

TEST_F(RipperThread, UserStopDeletesTheTemporaryFileOfAnAudioFormat) {
  UseProfile(307);  // WAV: the encoder writes temp.mp3
  EncoderWritesUntilStopped();
  bool stopped = false;
  Run(RipperThreadMain, [&] {
    if (stopped || !test::FileExistsForTest(out_ / "temp.mp3")) return;
    stopped = true;
    Conversion().userStopped = 1;
    RunStopProcedure(StopCaller::kTitleRipper, [] {});
  });
  ASSERT_TRUE(stopped);
  EXPECT_FALSE(test::FileExistsForTest(out_ / "temp.mp3"));
  EXPECT_EQ(Count(UM_BATCH_DONE), 1);
  EXPECT_EQ(Count(UM_NEXT_TITLE), 0);
}

TEST_F(RipperThread, AnOldTemporaryFileIsMovedAsideNotDeleted) {
  UseProfile(307);
  test::WriteFile(out_ / "temp.mp3", "somebody's song");
  EncoderWrites(150000);
  Run(RipperThreadMain);
  EXPECT_EQ(test::ReadFile(out_ / "temp_0.mp3"), "somebody's song");
  ASSERT_EQ(encodes_.size(), 1u);
  EXPECT_EQ(encodes_[0].outputFile, out_ / "temp.mp3");
  EXPECT_EQ(encodes_[0].audioBitrate, "128");
  EXPECT_EQ(encodes_[0].sampleRate, "44100");
  EXPECT_EQ(encodes_[0].channels, "2");
  EXPECT_EQ(postProcessed_, std::vector<std::string>{"wav"});
}

TEST_F(RipperThread, RowCropReachesTheCoreAndTheGeometry) {
  job_->cropOn = 1;
  job_->cropLeft = 8;
  job_->cropTop = 0;
  job_->cropRight = 712;
  job_->cropBottom = 480;
  EncoderWrites(200000);
  Run(RipperThreadMain);
  EXPECT_EQ(crop_.sets, 1);
  EXPECT_EQ(crop_.crop.width, 704);
  ASSERT_EQ(encodes_.size(), 1u);
  EXPECT_EQ(encodes_[0].crop, "704:480:8:0");
  EXPECT_EQ(encodes_[0].frameSize, "704:536");
  EXPECT_EQ(encodes_[0].scaledSize, "704:536");
  EXPECT_EQ(CurrentOutputFrame().width.load(), 704);
  EXPECT_EQ(CurrentOutputFrame().height.load(), 536);
}

TEST_F(RipperThread, CropOfAllZerosOnTheCoreLeavesTheCropTextEmpty) {
  job_->cropOn = 1;  // flag set, values all 0
  crop_.crop = {3, 3, 100, 100};  // whatever the core had before is replaced
  EncoderWrites(200000);
  Run(RipperThreadMain);
  EXPECT_EQ(crop_.sets, 1);
  ASSERT_EQ(encodes_.size(), 1u);
  EXPECT_EQ(encodes_[0].crop, "");
  EXPECT_EQ(encodes_[0].frameSize, "640:480");  // "Original" on a 4:3 disc
}

TEST_F(RipperThread, UncroppedRowLeavesTheCoresCropAlone) {
  crop_.crop = {0, 0, 0, 0};
  EncoderWrites(200000);
  Run(RipperThreadMain);
  EXPECT_EQ(crop_.sets, 0);
}

TEST_F(RipperThread, UnwritableOutputFolderFailsTheJobWithoutEncoding) {
  test::WriteFile(out_ / "plain-file", "x");
  Settings().outputFolder = out_ / "plain-file/sub/";
  job_->destination = Settings().outputFolder + "Film[1].mp4";
  EncoderWrites(200000);
  std::vector<std::string> shown;
  context_.reportProblem = [&](const std::string& text) { shown.push_back(text); };
  test::LogCapture log;
  Run(RipperThreadMain);
  EXPECT_TRUE(encodes_.empty());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("Cannot write to the output folder " + out_ / "plain-file/sub/ (", 0), 0u) << shown[0];
  EXPECT_TRUE(log.Contains("Cannot write to the output folder " + out_ / "plain-file/sub/"));
  EXPECT_EQ(MessageIds(), (Ids{UM_PROGRESS_OPEN, UM_PROGRESS_CLOSE, UM_JOB_RESULT, UM_NEXT_TITLE}));
  EXPECT_EQ(Find(UM_JOB_RESULT)->wparam, 1);
  EXPECT_EQ(test::ReadFile(out_ / "plain-file"), "x");
}

TEST_F(RipperThread, MissingEncoderLibraryFailsTheJobAndTheBatchGoesOn) {
  test::TempDir empty;
  SetEncoderLibraryFolder(empty.path());
  Run(RipperThreadMain);
  EXPECT_EQ(MessageIds(), (Ids{UM_PROGRESS_OPEN, UM_PROGRESS_CLOSE, UM_JOB_RESULT, UM_NEXT_TITLE}));
  EXPECT_EQ(Find(UM_JOB_RESULT)->wparam, 1);
  EXPECT_FALSE(test::FileExistsForTest(job_->destination));
}

TEST_F(RipperThread, FailedPostStepIsReportedAsFailed) {
  postProcessResult_ = false;
  EncoderWrites(200000);
  Run(RipperThreadMain);
  EXPECT_EQ(Find(UM_JOB_RESULT)->wparam, 1);
  EXPECT_EQ(Count(UM_NEXT_TITLE), 1);
}

TEST_F(RipperThread, WaitsForTheWindowToCloseThePlayer) {
  // The core's window answers UM_STOP_CONVERT with the stop procedure, which
  // closes the player (the core disappears).
  int stopConverts = 0;
  platform::MessageQueue coreWindow([&](const platform::Message& m) -> intptr_t {
    if (m.message != UM_STOP_CONVERT) return 0;
    ++stopConverts;
    RunStopProcedure(StopCaller::kTitleRipper, [] { ClearCorePosition(); });
    return 0;
  });
  CurrentCorePosition().exists = 1;
  CurrentCorePosition().eventSinkQueue = coreWindow.Id();
  EncoderWrites(200000);
  Run(RipperThreadMain);
  EXPECT_EQ(stopConverts, 1);
  EXPECT_EQ(CurrentCorePosition().exists.load(), 0);
  EXPECT_EQ(Find(UM_JOB_RESULT)->wparam, 0);
  EXPECT_EQ(Conversion().recording.load(), 0);
}

}  // namespace
}  // namespace tarn
