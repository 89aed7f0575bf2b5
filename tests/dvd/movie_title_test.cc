#include "dvd/movie_title.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace tarn {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(MovieTitle, CleanReplacesTheNineCharacters) {
  EXPECT_EQ(CleanMovieTitle("a?b\"c\\d/e*f:g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(CleanMovieTitle("Plain Title (2009) [Disc 1]"), "Plain Title (2009) [Disc 1]");
  EXPECT_EQ(CleanMovieTitle("Pel\xc3\xad" "cula"), "Pel\xc3\xad" "cula");
  EXPECT_EQ(CleanMovieTitle(""), "");
}

TEST(MovieTitle, FolderNames) {
  TempDir dir;
  std::filesystem::create_directories(dir / "Rips/My Movie/VIDEO_TS");
  std::filesystem::create_directories(dir / "Rips/Lower/video_ts");
  std::filesystem::create_directories(dir / "Rips/What? A: <Movie>*/VIDEO_TS");
  struct Case {
    std::string path;
    std::string title;
  };
  const std::vector<Case> cases = {
      {dir / "Rips/My Movie", "My Movie"},
      {dir / "Rips/My Movie/", "My Movie"},
      {dir / "Rips/My Movie/VIDEO_TS", "My Movie"},
      {dir / "Rips/My Movie/VIDEO_TS/", "My Movie"},
      {dir / "Rips/My Movie/VIDEO_TS//", "My Movie"},
      {dir / "Rips/My Movie/VIDEO_TS/..", "My Movie"},
      {dir / "Rips/Lower/video_ts/", "Lower"},
      {dir / "Rips/What? A: <Movie>*/VIDEO_TS/", "What_ A_ _Movie__"},
      {"/", "unknow3"},
      {"", "unknow3"},
      {"/VIDEO_TS/", "unknow3"},
  };
  for (const Case& c : cases) EXPECT_EQ(DiscMovieTitle(c.path, 3), c.title) << c.path;
}

// A bare ISO 9660 volume: system area, primary descriptor, terminator.
std::string IsoWithLabel(const std::string& label) {
  std::string img(18 * 2048, '\0');
  img[16 * 2048] = 1;
  img.replace(16 * 2048 + 1, 6, "CD001\x01");
  img.replace(16 * 2048 + 40, 32, label + std::string(32 - label.size(), ' '));
  img[17 * 2048] = static_cast<char>(255);
  img.replace(17 * 2048 + 1, 6, "CD001\x01");
  return img;
}

TEST(MovieTitle, ImageLabels) {
  TempDir dir;
  WriteFile(dir / "tree/readme.txt", "x");
  std::string cmd = "genisoimage -quiet -udf -V MOVIE -o '" + (dir / "movie.iso") + "' '" + (dir / "tree") + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  WriteFile(dir / "colon.iso", IsoWithLabel("ACT 1: START"));
  WriteFile(dir / "blank.iso", IsoWithLabel(""));
  WriteFile(dir / "empty.iso", "");

  EXPECT_EQ(DiscMovieTitle(dir / "movie.iso", 2), "MOVIE");
  EXPECT_EQ(DiscMovieTitle(dir / "colon.iso", 2), "ACT 1_ START");
  EXPECT_EQ(DiscMovieTitle(dir / "blank.iso", 2), "unknow");
  EXPECT_EQ(DiscMovieTitle(dir / "empty.iso", 2), "unknow");
}

}  // namespace
}  // namespace tarn
