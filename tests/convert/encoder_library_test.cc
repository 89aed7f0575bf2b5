// Loading the encoder library and one run through it, with a stand-in
// library that reads the block and calls the callbacks like the real one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "convert/encoder_library.h"
#include "test_support.h"

namespace tarn {
namespace {

int g_logCalls = 0;
int g_stopCalls = 0;
void CountLog(const char*) { ++g_logCalls; }
int CountStop() {
  ++g_stopCalls;
  return 1;
}

bool g_loadedDuringEncode = false;
int UnloadFromInside() {
  UnloadEncoderLibrary();  // e.g. a window ending its batch too early
  g_loadedDuringEncode = EncoderLibraryLoaded();
  return 1;
}

class EncoderLibrary : public ::testing::Test {
 protected:
  void TearDown() override {
    UnloadEncoderLibrary();
    SetEncoderLibraryFolder("");
    ResetEncoderCallbacks();
    unsetenv("TARN_STANDIN_BYTES");
    unsetenv("TARN_STANDIN_DUMP");
  }
};

TEST_F(EncoderLibrary, MissingLibraryFailsLoadAndRun) {
  test::TempDir empty;
  SetEncoderLibraryFolder(empty.path());
  test::LogCapture log;
  EXPECT_EQ(LoadEncoderLibrary(), 1);
  EXPECT_FALSE(EncoderLibraryLoaded());
  EXPECT_TRUE(log.Contains("\n encoder path  = " + empty.path() + "libRIDirud.so hMencoderLib = 0\n"));
  EXPECT_TRUE(log.Contains("GetLastError  = "));

  EncoderSettings s;
  s.outputFile = empty / "out.mp4";
  EXPECT_EQ(RunEncoder(s), -1);
  EXPECT_FALSE(test::FileExistsForTest(s.outputFile));
}

TEST_F(EncoderLibrary, LoadsOnceThenReportsAlreadyLoaded) {
  SetEncoderLibraryFolder(TARN_TEST_STANDIN_ENCODER_DIR);
  EXPECT_EQ(LoadEncoderLibrary(), 0);
  EXPECT_TRUE(EncoderLibraryLoaded());
  EXPECT_EQ(LoadEncoderLibrary(), 1);
  UnloadEncoderLibrary();
  EXPECT_FALSE(EncoderLibraryLoaded());
  EXPECT_EQ(LoadEncoderLibrary(), 0);
}

TEST_F(EncoderLibrary, LibraryWithoutEntryPointsCountsAsNotLoaded) {
  const char* candidates[] = {"/lib/x86_64-linux-gnu/libm.so.6", "/usr/lib/x86_64-linux-gnu/libm.so.6",
                              "/lib/aarch64-linux-gnu/libm.so.6", "/usr/lib/aarch64-linux-gnu/libm.so.6"};
  std::string libm;
  for (const char* c : candidates)
    if (test::FileExistsForTest(c)) libm = c;
  if (libm.empty()) GTEST_SKIP() << "no libm to stand for a foreign library";
  test::TempDir dir;
  ASSERT_EQ(symlink(libm.c_str(), (dir / "libRIDirud.so").c_str()), 0);
  SetEncoderLibraryFolder(dir.path());
  EXPECT_EQ(LoadEncoderLibrary(), 1);
  EXPECT_FALSE(EncoderLibraryLoaded());
  EXPECT_EQ(RunEncoder(EncoderSettings{}), -1);
}

TEST_F(EncoderLibrary, RunHandsTheBlockAndCallbacksToTheLibraryAndUnloadsIt) {
  test::TempDir dir;
  SetEncoderLibraryFolder(TARN_TEST_STANDIN_ENCODER_DIR);
  setenv("TARN_STANDIN_BYTES", "1234", 1);
  setenv("TARN_STANDIN_DUMP", (dir / "block.txt").c_str(), 1);
  EncoderCallbacks cb;
  cb.encoderLog = &CountLog;
  cb.stopTest = &CountStop;
  SetEncoderCallbacks(cb);
  g_logCalls = g_stopCalls = 0;

  EncoderSettings s;
  s.scratchPath = dir / "tarn.drp";
  s.outputFile = dir / "Film[1].mp4";
  s.format = "mp4";
  s.scaledSize = "864:484";
  s.frameSize = "864:484";
  s.threads = 3;
  s.frameWidth = 864;
  s.frameHeight = 484;
  s.title = "Film";
  ASSERT_TRUE(LoadEncoderLibrary() == 0);  // loaded for the batch; the run reloads it
  EXPECT_EQ(RunEncoder(s), 0);
  EXPECT_FALSE(EncoderLibraryLoaded());
  EXPECT_EQ(test::ReadFile(s.outputFile).size(), 1234u);
  EXPECT_EQ(g_logCalls, 2);
  EXPECT_EQ(g_stopCalls, 1);
  const std::string dump = test::ReadFile(dir / "block.txt");
  EXPECT_NE(dump.find("output=" + s.outputFile + "\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find("format=mp4\n"), std::string::npos);
  EXPECT_NE(dump.find("scaled=864:484\nframe=864:484\ncrop=\n"), std::string::npos);
  EXPECT_NE(dump.find("title=Film\nthreads=3\nwidth=864\nheight=484\n"), std::string::npos) << dump;
}

}  // namespace
}  // namespace tarn

namespace tarn {
namespace {

TEST_F(EncoderLibrary, UnloadDuringAnEncodeWaitsForItsEnd) {
  test::TempDir dir;
  SetEncoderLibraryFolder(TARN_TEST_STANDIN_ENCODER_DIR);
  setenv("TARN_STANDIN_BYTES", "10", 1);
  EncoderCallbacks cb;
  cb.stopTest = &UnloadFromInside;
  SetEncoderCallbacks(cb);
  EncoderSettings s;
  s.outputFile = dir / "a.mp4";
  g_loadedDuringEncode = false;
  EXPECT_EQ(RunEncoder(s), 0);  // no crash: the code stayed mapped
  EXPECT_TRUE(g_loadedDuringEncode);
  EXPECT_FALSE(EncoderLibraryLoaded());
  EXPECT_EQ(EncoderCallbacksInUse().stopTest, &UnloadFromInside);
}

}  // namespace
}  // namespace tarn
