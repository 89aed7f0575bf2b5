// "rip": the title ripper's batch run from the command line, with the real
// engine, encoder and post-processing on the authored discs, the outputs
// read back with ffprobe.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "test_support.h"

namespace tarn {
namespace {

const std::string kDiscs = TARN_TEST_DISCS_DIR;
// MP4, H.264 320x240 at 15 fps with AAC.
constexpr const char* kH264Profile = "61";
constexpr double kPicture = 1.0 / 15;

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct RunResult {
  int status = -1;
  std::string out, err;
};

RunResult Shell(const std::string& command) {
  test::TempDir io;
  const int raw = std::system(("(" + command + ") >" + io / "out" + " 2>" + io / "err" + " </dev/null").c_str());
  RunResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = test::ReadFile(io / "out");
  r.err = test::ReadFile(io / "err");
  return r;
}

RunResult Rip(const test::TempDir& home, const std::string& args) {
  return Shell("TARN_ORVANE_HOME=" + Quote(home.path()) + " XDG_VIDEOS_DIR=" + Quote(home / "videos") + " " +
               test::ProgramDir() + "tarn-orvane-cli rip " + args);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) found.push_back(line.substr(prefix.size()));
  return found;
}

std::map<std::string, std::string> Probe(const std::string& file, const std::string& stream) {
  const RunResult r = Shell("ffprobe -v error -select_streams " + stream +
                      " -show_entries stream=codec_name,width,height,duration -of default=nw=1 " + Quote(file));
  std::map<std::string, std::string> values;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);)
    if (const size_t eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  return values;
}

double Seconds(const std::map<std::string, std::string>& values) {
  const auto it = values.find("duration");
  return it == values.end() ? -1 : std::atof(it->second.c_str());
}

size_t Entries(const std::string& folder) {
  size_t n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
       ++it)
    ++n;
  return n;
}

TEST(RipCommand, UsageProblemsAreOneLineWithStatusTwoAndWriteNothing) {
  test::TempDir home;
  const std::string out = home / "out/";
  const std::string feature = kDiscs + "feature --output-folder " + Quote(out) + " ";
  struct Case {
    std::string args;
    std::string says;
  } cases[] = {
      {"", "rip needs a disc"},
      {feature + "--title 0", "--title needs a title number"},
      {feature + "--profile 61 --video-size 1x1", "--video-size must be one of: 176x144, 320x240"},
      {feature + "--profile 99999", "no profile 99999"},
      {feature + "--title 4 --audio 1", "title 4 has no audio stream 1 (it has: 0 English AC3 2ch, 2 Espa"},
      {feature + "--start 10 --end 5", "--end must lie after --start"},
      {feature + "--title 4 --start 25", "--start lies beyond the end of title 4"},
      {feature + "--aspect wide", "--aspect needs keep or zoom"},
      {feature + "--frobnicate 1", "unknown rip option --frobnicate"},
      {kDiscs + "short", "no title to convert"},
      {Quote(home / "nothing-here"), "is not a valid DVD source"},
  };
  for (const Case& c : cases) {
    const RunResult r = Rip(home, c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
    EXPECT_TRUE(Has(r.err, c.says)) << c.args << ": " << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(home / "Settings.ini"));
}

TEST(RipCommand, ConvertsTheTitleToThePictureWithTheProfile) {
  test::TempDir home;
  const std::string out = home / "out/";
  const RunResult r = Rip(home, kDiscs + "feature --title 4 --yes --profile " + kH264Profile + " --output-folder " + Quote(out));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto completed = Lines(r.out, "Completed ");
  ASSERT_EQ(completed.size(), 1u) << r.out;
  EXPECT_EQ(completed[0], out + "feature[4].mp4");
  const auto video = Probe(completed[0], "v:0");
  const auto audio = Probe(completed[0], "a:0");
  EXPECT_EQ(video.at("codec_name"), "h264");
  EXPECT_EQ(video.at("width"), "320");
  EXPECT_EQ(video.at("height"), "240");
  EXPECT_EQ(audio.at("codec_name"), "aac");
  EXPECT_NEAR(Seconds(video), 20.0, kPicture + 1e-3);
  EXPECT_NEAR(Seconds(audio), 20.0, kPicture + 1e-3);
  EXPECT_EQ(Entries(out), 1u);
}

TEST(RipCommand, ATrimmedRangeLastsItsLengthAndNeverOverwrites) {
  test::TempDir home;
  const std::string out = home / "out/";
  std::filesystem::create_directories(out);
  test::WriteFile(out + "feature[1].mp4", "precious");
  const RunResult r = Rip(home, kDiscs + "feature --title 1 --start 5 --end 00:00:12 --yes --json --profile " +
                              kH264Profile + " --output-folder " + Quote(out));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(test::ReadFile(out + "feature[1].mp4"), "precious");
  const std::string file = out + "feature[1]_0.mp4";
  EXPECT_TRUE(Has(r.out, "\"results\":[{\"title\":1,\"status\":\"Completed\",\"output\":\"" + file + "\"")) << r.out;
  EXPECT_NEAR(Seconds(Probe(file, "v:0")), 7.0, kPicture + 1e-3);
  EXPECT_NEAR(Seconds(Probe(file, "a:0")), 7.0, kPicture + 1e-3);
}

TEST(RipCommand, FailedTitlesAreReportedAndTheBatchGoesOn) {
  test::TempDir home;
  const std::string out = home / "out/";
  const RunResult r = Rip(home, kDiscs + "feature --title 9 --title 1 --end 3 --yes --output-folder " + Quote(out));
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_EQ(Lines(r.out, "Failed "), std::vector<std::string>{"9 the disc has no title 9"});
  EXPECT_EQ(Lines(r.out, "Completed ").size(), 1u) << r.out;

  // A folder that cannot be made: every job fails at once, nothing is written.
  test::WriteFile(home / "file", "");
  const RunResult blocked = Rip(home, kDiscs + "feature --title 1 --yes --output-folder " + Quote(home / "file/out"));
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(Lines(blocked.out, "Failed "),
            std::vector<std::string>{"1 cannot write to the output folder " + home / "file/out/"});
}

TEST(RipCommand, AnInterruptStopsTheJobAndLeavesNoPartialFile) {
  test::TempDir home;
  const std::string out = home / "out/";
  test::TempDir io;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("TARN_ORVANE_HOME", home.path().c_str(), 1);
    const int o = open((io / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open((io / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    const std::string cli = test::ProgramDir() + "tarn-orvane-cli";
    const std::string disc = kDiscs + "feature";
    execl(cli.c_str(), cli.c_str(), "rip", disc.c_str(), "--title", "1", "--yes", "--output-folder", out.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Stop once the encode runs.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!Has(test::ReadFile(io / "err"), "Converting ") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  kill(pid, SIGINT);
  int raw = 0;
  waitpid(pid, &raw, 0);
  ASSERT_TRUE(WIFEXITED(raw)) << test::ReadFile(io / "err");
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  EXPECT_EQ(Lines(test::ReadFile(io / "out"), "Failed "), std::vector<std::string>{"1 stopped by the user"});
  EXPECT_TRUE(Has(test::ReadFile(io / "err"), "Mission Stopped!"));
  EXPECT_EQ(Entries(out), 0u);
}

}  // namespace
}  // namespace tarn
