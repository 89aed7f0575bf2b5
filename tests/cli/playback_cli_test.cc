// "seek" and "play" of the command-line front end, run as a separate process
// on the authored discs with the real engine.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <regex>

#include "test_support.h"

namespace tarn {
namespace {

const std::string kDiscs = TARN_TEST_DISCS_DIR;

struct CliResult {
  int status = -1;
  std::string out, err;

  // The value of "key" in the one-line JSON answer, as a number.
  double Number(const std::string& key) const {
    std::smatch m;
    const std::regex pattern("\"" + key + "\":(-?[0-9.eE+-]+|true|false)");
    if (!std::regex_search(out, m, pattern)) {
      ADD_FAILURE() << key << " missing in " << out;
      return -1;
    }
    if (m[1] == "true") return 1;
    if (m[1] == "false") return 0;
    return std::strtod(m[1].str().c_str(), nullptr);
  }
};

class PlaybackCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::FileExistsForTest(test::ProgramDir() + "libTarnPlayer.so")) GTEST_SKIP() << "engine not built";
  }
  CliResult Cli(const std::string& args) {
    test::TempDir io;
    const std::string cmd = "TARN_ORVANE_HOME='" + home.path() + "' " + test::ProgramDir() + "tarn-orvane-cli " +
                            args + " >" + io / "out" + " 2>" + io / "err";
    CliResult r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = test::ReadFile(io / "out");
    r.err = test::ReadFile(io / "err");
    return r;
  }
  test::TempDir home;
};

TEST_F(PlaybackCli, SeekReachesTitlesOfBothKindsOfDisc) {
  CliResult feature = Cli("seek " + kDiscs + "feature --title 1 --json");
  EXPECT_EQ(feature.status, 0) << feature.err;
  EXPECT_EQ(feature.Number("reached"), 1);
  EXPECT_EQ(feature.Number("attempts"), 1);  // the disc starts in title 1
  EXPECT_EQ(feature.Number("domain"), 4);
  EXPECT_EQ(feature.Number("currentTitle"), 1);
  EXPECT_LT(feature.Number("seconds"), 10);

  CliResult menu = Cli("seek " + kDiscs + "menu --title 2 --json");
  EXPECT_EQ(menu.status, 0) << menu.err;
  EXPECT_EQ(menu.Number("currentTitle"), 2);
  EXPECT_EQ(menu.Number("domain"), 4);
}

TEST_F(PlaybackCli, SeekToATitleThatDoesNotExistFailsAfterTenAttempts) {
  CliResult r = Cli("seek " + kDiscs + "short --title 9 --json");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.Number("reached"), 0);
  EXPECT_EQ(r.Number("attempts"), 10);
  EXPECT_GE(r.Number("seconds"), 60);  // ten waits of more than six whole seconds
  EXPECT_NE(r.err.find("Failed to search to Title9, so cannot play this title."), std::string::npos) << r.err;
}

TEST_F(PlaybackCli, SeekAndPlayRefuseWhatIsNoDiscAndBadOptions) {
  CliResult r = Cli("seek " + kDiscs + "damaged/empty --title 1 --json");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("The opened directory is not a valid DVD source"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
  for (const char* args : {"seek", "seek DISC", "seek DISC --title 0", "play", "play DISC --clock 2",
                           "play DISC --seconds 0", "list DISC --title 1", "play DISC --title"}) {
    CliResult usage = Cli(args);
    EXPECT_EQ(usage.status, 2) << args;
  }
}

TEST_F(PlaybackCli, PlayInRealTimeDeliversPicturesSoundAndATimeEventASecond) {
  CliResult r = Cli("play " + kDiscs + "feature --seconds 3 --clock 0 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.Number("width"), 352);
  EXPECT_EQ(r.Number("height"), 288);
  EXPECT_NEAR(r.Number("pictures"), 75, 25);  // 25 pictures a second
  EXPECT_NEAR(r.Number("audioSeconds"), 3, 1);
  EXPECT_GT(r.Number("audioBlocks"), 0);
  EXPECT_NEAR(r.Number("timeEvents"), 3, 1);
  EXPECT_NEAR(r.Number("seconds"), 3, 1);
}

TEST_F(PlaybackCli, FastModePlaysEightTimesRealTime) {
  CliResult r = Cli("play " + kDiscs + "feature --seconds 16 --clock 1 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const double wall = r.Number("seconds");
  EXPECT_LT(wall, 4);
  EXPECT_NEAR(r.Number("audioSeconds"), 16, 4);
  // Several time events per second of wall time, where real time gives one.
  EXPECT_GE(r.Number("timeEvents") / wall, 2) << r.out;
}

TEST_F(PlaybackCli, PlayAfterASeekCountsTheTargetTitle) {
  CliResult r = Cli("play " + kDiscs + "menu --title 2 --seconds 2 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_GT(r.Number("pictures"), 20);
  EXPECT_EQ(r.Number("titleChanges"), 0);  // counted after the seek
  EXPECT_EQ(r.Number("domainChanges"), 0);
}

}  // namespace
}  // namespace tarn
