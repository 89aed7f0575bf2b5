// The command-line front end, run as a separate process.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "platform/ini_file.h"
#include "test_support.h"

namespace tarn {
namespace {

const std::string kDiscs = TARN_TEST_DISCS_DIR;

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

CliRun Cli(const test::TempDir& home, const std::string& args) {
  test::TempDir io;
  const std::string cmd = "TARN_ORVANE_HOME=" + Quote(home.path()) + " XDG_VIDEOS_DIR=" + Quote(home / "videos") +
                          " " + test::ProgramDir() + "tarn-orvane-cli " + args + " >" + io / "out" + " 2>" + io / "err";
  CliRun r;
  int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = test::ReadFile(io / "out");
  r.err = test::ReadFile(io / "err");
  return r;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Cli, UsageErrorsGiveOneLineAndStatusTwo) {
  test::TempDir home;
  for (const char* args : {"", "frobnicate", "profiles --bogus", "list", "profiles extra", "--home"}) {
    CliRun r = Cli(home, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(r.out.empty()) << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
  }
  CliRun help = Cli(home, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Has(help.out, "list DISC"));
  CliRun version = Cli(home, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "1.0.0\n");
}

TEST(Cli, SettingsOfAnEmptyHomeAreTheDefaults) {
  test::TempDir home;
  CliRun r = Cli(home, "settings --json");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* field : {"\"encoderThreads\":2", "\"displayVideoWhenConvert\":2", "\"startScreen\":0",
                            "\"updateDue\":1", "\"genreIndex\":13", "\"author\":\"Tarn Software\"", "\"year\":\"2009\""})
    EXPECT_TRUE(Has(r.out, field)) << field;
  EXPECT_TRUE(Has(r.out, "\"outputFolder\":\"" + home.path() + "videos/TarnOrvane/\""));
  EXPECT_TRUE(Has(r.out, "\"logFilePath\":\"" + home.path() + "Log/TarnLog.txt\""));
  EXPECT_FALSE(test::FileExistsForTest(home / "Settings.ini"));  // only --save writes
}

TEST(Cli, SettingsSaveWritesBackAsTheProgramDoes) {
  test::TempDir home;
  test::WriteFile(home / "Settings.ini",
                  "[General Setting]\r\nEncodrThreads=9\r\nStart Screen=5\r\nShutdown Computer=7\r\n"
                  "Mine=kept\r\n[Elsewhere]\r\nk=v\r\n");
  CliRun r = Cli(home, "settings --json --save");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "\"encoderThreads\":2"));
  EXPECT_TRUE(Has(r.out, "\"startScreen\":5"));
  EXPECT_TRUE(Has(r.out, "\"shutdownComputer\":7"));
  const std::string ini = home / "Settings.ini";
  EXPECT_EQ(platform::ReadIniValue(ini, "General Setting", "EncodrThreads"), "2");
  EXPECT_EQ(platform::ReadIniValue(ini, "General Setting", "Start Screen"), "5");
  EXPECT_EQ(platform::ReadIniValue(ini, "General Setting", "Shutdown Computer"), "1");
  EXPECT_EQ(platform::ReadIniValue(ini, "General Setting", "Mine"), "kept");
  EXPECT_EQ(platform::ReadIniValue(ini, "Elsewhere", "k"), "v");
  EXPECT_EQ(platform::ReadIniValue(ini, "ID3", "Track"), "8");
}

TEST(Cli, ProfilesJsonShowsTheShippedCatalogue) {
  test::TempDir home;
  CliRun r = Cli(home, "profiles --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.front(), '{');
  for (const char* part : {"\"categories\":[", "\"profiles\":[", "\"current\":", "\"quickSettings\":[",
                           "\"lists\":{", "\"styles\":{", "\"videoCodec\":", "\"aspect\":", "\"id\":302"})
    EXPECT_TRUE(Has(r.out, part)) << part;
  CliRun text = Cli(home, "profiles");
  EXPECT_EQ(text.status, 0);
  EXPECT_TRUE(Has(text.out, "Profiles:"));
}

TEST(Cli, ListShowsTheCatalogueOfADisc) {
  test::TempDir home;
  CliRun r = Cli(home, "list " + Quote(kDiscs + "feature") + " --json");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "\"disc\":\"" + kDiscs + "feature/\""));
  EXPECT_TRUE(Has(r.out, "\"title\":1,\"chapters\":5,\"seconds\":72"));
  EXPECT_TRUE(Has(r.out, "\"label\":\"Title02(6Chapters) 16:9\""));
  EXPECT_TRUE(Has(r.out, "\"aspect\":\"4:3\""));
  EXPECT_TRUE(Has(r.out, "\"movieTitle\":\"feature\""));
  EXPECT_TRUE(Has(r.out, "{\"stream\":2,\"name\":\"Deutsch LPCM 2ch\"}"));
  EXPECT_TRUE(Has(r.out, "\"angles\":1,\"checked\":true"));
  EXPECT_TRUE(Has(r.out, "\"destination\":\"" + home.path() + "videos/TarnOrvane/feature[2]."));
  EXPECT_FALSE(Has(r.out, "\"title\":4"));
  CliRun text = Cli(home, "list " + Quote(kDiscs + "feature"));
  EXPECT_EQ(text.status, 0);
  EXPECT_TRUE(Has(text.out, "[x]  Title02(6Chapters) 16:9"));
}

TEST(Cli, ListOfSomethingThatIsNotADiscFailsWithStatusTwo) {
  test::TempDir home;
  for (const std::string& source : {kDiscs + "damaged/empty", kDiscs + "damaged/random", home / "nothing-here"}) {
    CliRun r = Cli(home, "list " + Quote(source) + " --json");
    EXPECT_EQ(r.status, 2) << source;
    EXPECT_TRUE(r.out.empty()) << source;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(Has(r.err, "not a valid DVD source"));
  }
  EXPECT_FALSE(test::FileExistsForTest(home / "Settings.ini"));
}

}  // namespace
}  // namespace tarn
