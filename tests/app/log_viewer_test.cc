// The log client with the real TarnLog viewer.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <thread>

#include "app/log.h"
#include "app/log_client.h"
#include "app/log_record.h"
#include "log_viewer_test_support.h"
#include "platform/child_process.h"

namespace tarn {
namespace {

using test::LogFileOf;
using test::LogLine;
using test::ReadLogLines;

class LogViewerTest : public ::testing::Test {
 protected:
  void TearDown() override { StopLogViewer(kLogAbortNormal); }
  bool Start() { return StartLogViewer(home_.path(), test::ProgramDir()); }
  std::vector<LogLine> Lines() { return ReadLogLines(LogFileOf(home_.path())); }

  test::TempDir home_;
};

TEST_F(LogViewerTest, WritesStampedLinesAndEndsOnAbortNormal) {
  ASSERT_TRUE(Start());
  EXPECT_TRUE(LogViewerRunning());
  pid_t viewer = test::ListenerPid(home_.path());
  ASSERT_GT(viewer, 0);

  EXPECT_EQ(Log(0, "plain %d\n", 42), kLogReplyTaken);
  EXPECT_EQ(Log(1, "first\nsecond\n"), kLogReplyTaken);
  EXPECT_EQ(Log(0, "\nRegisters:\n"), kLogReplyTaken);
  EXPECT_EQ(Log(0, "%s", std::string(6000, 'w').c_str()), kLogReplyTaken);
  StopLogViewer(kLogAbortNormal);

  EXPECT_FALSE(LogViewerRunning());
  EXPECT_TRUE(test::ProcessGone(viewer));
  EXPECT_FALSE(std::filesystem::exists(home_.path() + kLogSocketFileName));
  const std::vector<std::pair<int, std::string>> expected = {
      {0, "plain 42"}, {1, "first"}, {1, "second"}, {0, ""}, {0, "Registers:"},
      {0, std::string(5119, 'w')}, {2, "Abort Normal"}};
  auto lines = Lines();
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].level, expected[i].first) << i;
    EXPECT_EQ(lines[i].text, expected[i].second) << i;
  }
}

TEST_F(LogViewerTest, NothingIsSentWithoutAViewerOrAfterItStopped) {
  test::LogCapture capture;
  EXPECT_EQ(Log(0, "before start\n"), 0);
  EXPECT_FALSE(std::filesystem::exists(LogFileOf(home_.path())));

  ASSERT_TRUE(Start());
  StopLogViewer(kLogAbortNormal);
  const std::string afterStop = test::ReadFile(LogFileOf(home_.path()));
  EXPECT_EQ(Log(1, "after stop\n"), 0);
  StopLogViewer(kLogAbortNormal);  // a second stop does nothing
  EXPECT_EQ(test::ReadFile(LogFileOf(home_.path())), afterStop);
  EXPECT_EQ(afterStop.find("before start"), std::string::npos);
  EXPECT_TRUE(capture.Contains("before start"));
  EXPECT_TRUE(capture.Contains("after stop"));
}

TEST_F(LogViewerTest, ConcurrentCallersWriteWholeLines) {
  ASSERT_TRUE(Start());
  constexpr int kThreads = 8, kRecords = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kRecords; ++i)
        Log(0, "thread %d record %d %s\n", t, i, std::string(100 + (i % 50), static_cast<char>('a' + t)).c_str());
    });
  for (auto& th : threads) th.join();
  StopLogViewer(kLogAbortNormal);

  std::map<int, int> next;  // per thread, the record expected next
  int count = 0;
  for (const LogLine& line : Lines()) {
    if (line.level == 2) continue;
    ASSERT_EQ(line.level, 0) << line.text;
    int t = -1, i = -1, used = 0;
    ASSERT_EQ(std::sscanf(line.text.c_str(), "thread %d record %d %n", &t, &i, &used), 2) << line.text;
    EXPECT_EQ(line.text.substr(used), std::string(100 + (i % 50), static_cast<char>('a' + t))) << line.text;
    EXPECT_EQ(i, next[t]++) << "thread " << t;
    ++count;
  }
  EXPECT_EQ(count, kThreads * kRecords);
}

TEST_F(LogViewerTest, EndsALeftoverViewerFirst) {
  platform::ChildProcess leftover;
  ASSERT_TRUE(leftover.Start(test::ProgramDir() + kLogViewerProgram, {home_.path()}));
  pid_t listener = -1;
  for (int i = 0; i < 500 && listener < 0; ++i) {
    listener = test::ListenerPid(home_.path());
    if (listener < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(listener, leftover.Pid());

  ASSERT_TRUE(Start());
  EXPECT_TRUE(leftover.WaitExit(kLogViewerWaitMs));
  pid_t fresh = test::ListenerPid(home_.path());
  EXPECT_GT(fresh, 0);
  EXPECT_NE(fresh, leftover.Pid());
  EXPECT_EQ(Log(0, "to the new viewer\n"), kLogReplyTaken);
  StopLogViewer(kLogAbortNormal);
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "to the new viewer");
}

TEST_F(LogViewerTest, UsesAnAbstractSocketWhenThePathIsTooLong) {
  const std::string deep = home_.path() + std::string(60, 'd') + "/" + std::string(60, 'e') + "/";
  ASSERT_GT((deep + kLogSocketFileName).size(), sizeof(sockaddr_un::sun_path));
  ASSERT_TRUE(StartLogViewer(deep, test::ProgramDir()));
  EXPECT_EQ(Log(0, "deep\n"), kLogReplyTaken);
  StopLogViewer(kLogAbortNormal);
  EXPECT_FALSE(std::filesystem::exists(deep + kLogSocketFileName));
  auto lines = ReadLogLines(LogFileOf(deep));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "deep");
}

TEST_F(LogViewerTest, RotatesAtTheInjectedLimitKeepingOneOldCopy) {
  ::setenv("TARN_LOG_FILE_LIMIT", "2000", 1);
  bool started = Start();
  ::unsetenv("TARN_LOG_FILE_LIMIT");
  ASSERT_TRUE(started);
  for (int i = 0; i < 100; ++i) Log(0, "record %03d %s\n", i, std::string(50, 'r').c_str());
  StopLogViewer(kLogAbortNormal);

  const std::string current = LogFileOf(home_.path()), old = current + ".1";
  EXPECT_LE(std::filesystem::file_size(current), 2000u);
  EXPECT_LE(std::filesystem::file_size(old), 2000u);
  EXPECT_FALSE(std::filesystem::exists(current + ".2"));
  auto lines = ReadLogLines(old);
  auto tail = Lines();
  lines.insert(lines.end(), tail.begin(), tail.end());
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines.back().text, "Abort Normal");
  lines.pop_back();
  // The two files hold the newest records, in order.
  int expected = 100 - static_cast<int>(lines.size());
  for (const LogLine& line : lines) {
    char want[32];
    std::snprintf(want, sizeof want, "record %03d", expected++);
    EXPECT_EQ(line.text.substr(0, 10), want);
  }
}

TEST_F(LogViewerTest, RotatesAtTenMegabytesByDefault) {
  constexpr uint64_t kTenMegabytes = 10ull * 1024 * 1024;
  ASSERT_TRUE(Start());
  const std::string big(5000, 'm');
  const std::string current = LogFileOf(home_.path());
  for (int i = 0; i < 2200 && !std::filesystem::exists(current + ".1"); ++i) Log(0, "%s\n", big.c_str());
  StopLogViewer(kLogAbortNormal);
  ASSERT_TRUE(std::filesystem::exists(current + ".1"));
  uint64_t oldSize = std::filesystem::file_size(current + ".1");
  EXPECT_LE(oldSize, kTenMegabytes);
  EXPECT_GT(oldSize, kTenMegabytes - 2 * big.size());
}

}  // namespace
}  // namespace tarn
