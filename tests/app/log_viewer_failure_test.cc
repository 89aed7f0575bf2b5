// The log client when the viewer fails: every wait ends after its limit, the
// program goes on without a viewer and says so once on stderr.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/log.h"
#include "app/log_client.h"
#include "app/log_message_box.h"
#include "log_viewer_test_support.h"

namespace tarn {
namespace {

class LogViewerFailureTest : public ::testing::Test {
 protected:
  void TearDown() override {
    StopLogViewer(kLogAbortNormal);
    SetMessageBoxHook({});
  }
  // A program folder whose "TarnLog" runs `body` (a shell command).
  void MakeViewer(const std::string& body) {
    test::WriteFile(programs_ / kLogViewerProgram, "#!/bin/sh\n" + body + "\n");
    ::chmod((programs_ / kLogViewerProgram).c_str(), 0755);
  }
  std::string Helper(const std::string& mode) {
    return std::string("exec '") + TARN_LOG_TEST_HELPER + "' " + mode + " \"$@\"";
  }

  test::TempDir home_, programs_;
};

TEST_F(LogViewerFailureTest, ViewerThatIsNeverReadyIsGivenUp) {
  struct Case {
    const char* name;
    std::string body;
    const char* said;
  };
  const Case cases[] = {
      {"listens but never answers", Helper("silent-viewer"), "log viewer: not ready within 5 s; going on without it\n"},
      {"ends at once", "exit 1", "log viewer: ended while starting; going on without it\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeViewer(c.body);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(StartLogViewer(home_.path(), programs_.path()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.said);
    EXPECT_FALSE(LogViewerRunning());
    EXPECT_EQ(Log(0, "dropped\n"), 0);
    EXPECT_EQ(test::ListenerPid(home_.path()), -1) << "the failed viewer was not ended";
  }
}

TEST_F(LogViewerFailureTest, ViewerThatStopsAnsweringIsGivenUpOnce) {
  MakeViewer(Helper("mute-viewer"));
  ASSERT_TRUE(StartLogViewer(home_.path(), programs_.path()));
  testing::internal::CaptureStderr();
  EXPECT_EQ(Log(0, "not answered\n"), 0);
  EXPECT_EQ(Log(0, "dropped at once\n"), 0);
  StopLogViewer(kLogAbortNormal);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "log viewer: did not answer within 5 s; going on without it\n");
  EXPECT_FALSE(LogViewerRunning());
  EXPECT_EQ(test::ListenerPid(home_.path()), -1);
}

TEST_F(LogViewerFailureTest, MissingViewerProgramShowsTheStartError) {
  std::vector<std::string> shown;
  SetMessageBoxHook([&](const std::string& text) { shown.push_back(text); });
  test::LogCapture capture;
  EXPECT_FALSE(StartLogViewer(home_.path(), programs_.path()));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Error on Create Tarn Log App,\nPlease reinstalled this software, or contact Support.");
  EXPECT_EQ(Log(0, "still observed\n"), 0);
  EXPECT_TRUE(capture.Contains("still observed"));
}

}  // namespace
}  // namespace tarn
