#include "convert/output_naming.h"

#include <gtest/gtest.h>

#include "app/settings.h"
#include "convert/rip_job.h"
#include "convert/timecode.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(MakeUniquePath, CountsOnUntilTheNameIsFree) {
  TempDir dir;
  struct Case {
    std::vector<std::string> existing;
    std::string asked;
    std::string expected;
  } cases[] = {
      {{}, "Film[1].mp4", "Film[1].mp4"},
      {{"Film[1].mp4"}, "Film[1].mp4", "Film[1]_0.mp4"},
      {{"Film[1].mp4", "Film[1]_0.mp4"}, "Film[1].mp4", "Film[1]_1.mp4"},
      {{"Film_x3.mp4"}, "Film_x3.mp4", "Film_x3_0.mp4"},
      {{"Film_.mp4"}, "Film_.mp4", "Film_1.mp4"},
      {{"a.mp4"}, "a.mp4", "a_0.mp4"},
      {{"_.mp4"}, "_.mp4", "__0.mp4"},             // one-character base: "_0" is appended
      {{"Clip_007.flv"}, "Clip_007.flv", "Clip_8.flv"},
      {{"T_99999999999999999999.mp4"}, "T_99999999999999999999.mp4", "T_100000000000000000000.mp4"},
      {{"My.Film.mp4"}, "My.Film.mp4", "My.Film_0.mp4"},
  };
  for (const auto& c : cases) {
    TempDir d;
    for (const auto& e : c.existing) WriteFile(d / e, "x");
    EXPECT_EQ(MakeUniquePath(d / c.asked), d / c.expected) << c.asked;
  }
}

TEST(MakeUniquePath, FolderWithDotsAndExistingFolderName) {
  TempDir dir;
  WriteFile(dir / "v1.2/Film.mp4", "x");
  EXPECT_EQ(MakeUniquePath(dir / "v1.2/Film.mp4"), dir / "v1.2/Film_0.mp4");
  // A folder of that name counts as existing too: never hand out its path.
  WriteFile(dir / "Movie.mp4/inside", "x");
  EXPECT_EQ(MakeUniquePath(dir / "Movie.mp4"), dir / "Movie_0.mp4");
}

TEST(RecorderPath, EmptyStemOrResetGivesUnknowAndIsMadeUnique) {
  TempDir dir;
  AppSettings s;
  s.outputFolder = dir.path();
  EXPECT_EQ(ComposeRecorderPath(s, "3gp", false), dir / "Unknow.3gp");
  EXPECT_EQ(s.outputName, "Unknow");
  s.outputName = "MOVIE";
  WriteFile(dir / "MOVIE.mp4", "x");
  EXPECT_EQ(ComposeRecorderPath(s, "mp4", false), dir / "MOVIE_0.mp4");
  EXPECT_EQ(s.outputPath, dir / "MOVIE_0.mp4");
  EXPECT_EQ(ComposeRecorderPath(s, "mp4", true), dir / "Unknow.mp4");
  EXPECT_EQ(s.outputName, "Unknow");
}

TEST(EncoderTargetPath, TemporaryFileByFormatAndAudioCodec) {
  const std::string f = "/out/", d = "/out/Film[1].x";
  struct Case {
    const char* format;
    const char* audio;
    std::string expected;
  } cases[] = {
      {"3ggp", "amr_nb", f + "temp.3gp"}, {"3ggp2", "amr_nb", f + "temp.3g2"}, {"3ggp", "aac", d},
      {"au", "pcm_mulaw", f + "temp.mp3"}, {"amr", "amr_nb", f + "temp.mp3"}, {"m4a", "aac", f + "temp.mp3"},
      {"wav", "pcm_s16le", f + "temp.mp3"}, {"swf", "mp3", f + "temp.swf"},  {"flv", "mp3", d},
      {"mp4", "aac", d},                   {"psp-avc", "aac", d},
  };
  for (const auto& c : cases) EXPECT_EQ(EncoderTargetPath(f, c.format, c.audio, d), c.expected) << c.format;
}

TEST(SideFiles, ThumbnailPageAndScratchNames) {
  EXPECT_EQ(ThumbnailPath("/out/Film[1].mp4"), "/out/Film[1].THM");
  EXPECT_EQ(ThumbnailPath("/out/My.Film.mp4"), "/out/My.Film.THM");
  EXPECT_EQ(HtmlPagePath("/out/", "/out/Film[1]_0.flv"), "/out/Film[1]_0.html");
  EXPECT_EQ(HtmlMovieName("/out/Film[1]_0.swf", "swf"), "Film[1]_0.swf");
  EXPECT_EQ(FileNamePart("/out/Film[1].mp4"), "Film[1].mp4");
  EXPECT_EQ(ScratchFilePath("/home/u/.config/tarn-orvane/"), "/home/u/.config/tarn-orvane/tarn.drp");

  TempDir dir;
  WriteFile(dir / "tarn.drp", "old contents that are longer");
  ASSERT_TRUE(CreateScratchFile(dir / "tarn.drp"));
  EXPECT_EQ(test::ReadFile(dir / "tarn.drp"), std::string(2048, '\0'));
  EXPECT_FALSE(CreateScratchFile(dir / "missing/tarn.drp"));
}

TEST(CompareTimecode, WholeSecondsFirstThenFrames) {
  struct Case {
    DVD_HMSF_TIMECODE a, b;
    int expected;
  } cases[] = {
      {{0, 10, 0, 0}, {0, 9, 59, 25}, 1},
      {{0, 10, 0, 3}, {0, 10, 0, 1}, 1},
      {{0, 10, 0, 1}, {0, 10, 0, 3}, -1},
      {{1, 0, 0, 0}, {0, 59, 59, 29}, 1},
      {{0, 0, 5, 7}, {0, 0, 5, 7}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareTimecode(c.a, c.b), c.expected);
}

TEST(RipJob, TrimmedAndCropFlags) {
  RipJob job;
  job.fullEnd = job.trimmedEnd = 100.0;
  EXPECT_EQ(IsTrimmed(job), 0);
  job.trimmedEnd = 99.95;
  EXPECT_EQ(IsTrimmed(job), 0);
  job.trimmedStart = 0.2;
  EXPECT_EQ(IsTrimmed(job), 1);
  EXPECT_EQ(IsCropped(job), 0);
  job.cropBottom = 4;
  EXPECT_EQ(IsCropped(job), 1);
}

}  // namespace
}  // namespace tarn
