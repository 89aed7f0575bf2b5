// The free-space question, the shutdown behind its interface and the stop
// procedure.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "convert/computer_shutdown.h"
#include "convert/free_space.h"
#include "convert/rip_job.h"
#include "convert/stop_procedure.h"
#include "platform/message_queue.h"
#include "test_support.h"

namespace tarn {
namespace {

class AnsweringView final : public QuestionView {
 public:
  explicit AnsweringView(bool answer) : answer_(answer) {}
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    texts.push_back(text);
    captions.push_back(caption);
    return answer_;
  }
  std::vector<std::string> texts, captions;

 private:
  bool answer_;
};

TEST(CheckFreeSpace, ShortSpaceAsksWithTheEstimateAndTheAnswerDecides) {
  for (bool yes : {true, false}) {
    AnsweringView view(yes);
    test::LogCapture log;
    EXPECT_EQ(CheckFreeSpaceWith(500, 800.9, "/out/", view), yes ? 0 : -1);
    ASSERT_EQ(view.texts.size(), 1u);
    EXPECT_EQ(view.texts[0], "The output folder have not enough free space 800Mb, continue?");
    EXPECT_EQ(view.captions[0], "question");
    EXPECT_TRUE(log.Contains("check free space destinatePath:/out/, estimateSize:800, free space:500\n"));
  }
}

TEST(CheckFreeSpace, EnoughSpaceAsksNothing) {
  AnsweringView view(false);
  EXPECT_EQ(CheckFreeSpaceWith(800, 800, "/out/", view), 0);
  EXPECT_EQ(CheckFreeSpaceWith(900, 0, "/out/", view), 0);
  EXPECT_TRUE(view.texts.empty());
}

TEST(CheckFreeSpace, FolderNotCreatedYetIsMeasuredOnItsNearestParent) {
  test::TempDir dir;
  const int64_t parent = FreeMegabytes(dir.path());
  ASSERT_GE(parent, 0);
  const int64_t missing = FreeMegabytes(dir / "not/there/yet/");
  EXPECT_NEAR(static_cast<double>(missing), static_cast<double>(parent), 64.0);
  // The real check on the real volume: an estimate of 0 never asks.
  AnsweringView view(false);
  EXPECT_EQ(CheckFreeSpace(0, dir / "not/there/", view), 0);
  EXPECT_TRUE(view.texts.empty());
  // An estimate far beyond any disk asks.
  EXPECT_EQ(CheckFreeSpace(1e9, dir.path(), view), -1);
  EXPECT_EQ(view.texts.size(), 1u);
}

class CountingShutdown final : public ComputerShutdown {
 public:
  bool PowerOff() override {
    ++calls;
    return true;
  }
  int calls = 0;
};

TEST(ShutdownComputer, GoesThroughTheInstalledShutdown) {
  CountingShutdown fake;
  SetComputerShutdown(&fake);
  EXPECT_TRUE(ShutdownComputer());
  EXPECT_EQ(fake.calls, 1);
  SetComputerShutdown(nullptr);
  EXPECT_NE(&CurrentComputerShutdown(), static_cast<ComputerShutdown*>(&fake));
}

TEST(ShutdownComputer, RealOneAsksLogindToPowerOffWithoutForcing) {
  // Only the command lines are looked at; nothing is run.
  const auto commands = PowerOffCommands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands[0], (std::vector<std::string>{"busctl", "call", "org.freedesktop.login1",
                                                   "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                                   "PowerOff", "b", "false"}));
  for (const auto& c : commands)
    for (const auto& arg : c) EXPECT_EQ(arg.find("Force"), std::string::npos);
}

TEST(StopProcedure, WaitsForTheEncodeThenClosesThePlayer) {
  ConversionState& s = Conversion();
  s.recording = 1;
  s.stopRequest = 0;
  s.encodeDone = 0;
  std::atomic<bool> encoderSawStop{false};
  std::thread conversion([&] {
    while (s.stopRequest.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    encoderSawStop = true;
    s.encodeDone = 1;
  });
  int closes = 0;
  test::LogCapture log;
  RunStopProcedure(StopCaller::kTitleRipper, [&] {
    EXPECT_TRUE(encoderSawStop.load());
    ++closes;
  });
  conversion.join();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(s.recording.load(), 0);
  EXPECT_TRUE(log.Contains("Src list window try to stop convert\n"));
  EXPECT_TRUE(log.Contains("DVD player window stop convert\n"));
  s.stopRequest = 0;
}

TEST(StopProcedure, NothingWhenNotRecording) {
  ConversionState& s = Conversion();
  s.recording = 0;
  s.stopRequest = 0;
  int closes = 0;
  RunStopProcedure(StopCaller::kPlayerRecorder, [&] { ++closes; });
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(s.stopRequest.load(), 0);
}

}  // namespace
}  // namespace tarn
