#include "dvd/drive_menu.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace tarn {

void PrintTo(const DriveMenuItem& i, std::ostream* os) { *os << "{" << i.command << ", \"" << i.text << "\"}"; }

namespace {

using platform::OpticalDrive;
using test::TempDir;
using test::WriteFile;


// A machine with two drives: sr0 holds a disc labelled MOVIE, sr1 is empty.
class TwoDrives : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "tree/readme.txt", "x");
    WriteFile(dir_ / "info", "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\ndrive name:\t\tsr1\tsr0\n");
    WriteFile(dir_ / "dev/sr1", "");
    std::string cmd = "genisoimage -quiet -V MOVIE -o '" + (dir_ / "dev/sr0") + "' '" + (dir_ / "tree") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    drives_ = platform::ListOpticalDrives({dir_ / "info", dir_ / "dev/"});
  }
  TempDir dir_;
  std::vector<OpticalDrive> drives_;
};

TEST_F(TwoDrives, MenuListsEachDriveWithItsLabel) {
  const std::vector<DriveMenuItem> expected = {
      {1301, "Open From Hard Disk..."},
      {1302, dir_ / "dev/sr0 MOVIE"},
      {1303, dir_ / "dev/sr1 [No Disc]"},
  };
  EXPECT_EQ(BuildDriveMenu(drives_), expected);
}

TEST_F(TwoDrives, ChoosingADriveNamesTheRecorderOutput) {
  AppSettings settings;
  settings.outputFolder = "/home/user/Videos/TarnOrvane/";
  std::string disc;
  ASSERT_TRUE(ApplyOpenDrive(1302, drives_, "mp4", settings, &disc));
  EXPECT_EQ(settings.outputName, "MOVIE");
  EXPECT_EQ(settings.outputPath, "/home/user/Videos/TarnOrvane/MOVIE.mp4");
  EXPECT_EQ(disc, dir_ / "dev/sr0");  // the device node itself, no "/" added

  ASSERT_TRUE(ApplyOpenDrive(1303, drives_, "3gp", settings, &disc));
  EXPECT_EQ(settings.outputName, "[No Disc]");
  EXPECT_EQ(settings.outputPath, "/home/user/Videos/TarnOrvane/[No Disc].3gp");
  EXPECT_EQ(disc, dir_ / "dev/sr1");
}

TEST_F(TwoDrives, CommandWithoutADriveChangesNothing) {
  AppSettings settings;
  settings.outputFolder = "/out/";
  settings.outputName = "Kept";
  settings.outputPath = "/out/Kept.flv";
  for (int command : {1304, 1499, 1301, 1300, 1500, 0}) {
    std::string disc = "untouched";
    EXPECT_FALSE(ApplyOpenDrive(command, drives_, "mp4", settings, &disc)) << command;
    EXPECT_EQ(settings.outputName, "Kept");
    EXPECT_EQ(settings.outputPath, "/out/Kept.flv");
    EXPECT_EQ(disc, "untouched");
  }
}

TEST(DriveMenu, NoDrivesOnlyOffersTheHardDisk) {
  TempDir dir;
  const std::vector<DriveMenuItem> expected = {{1301, "Open From Hard Disk..."}};
  EXPECT_EQ(BuildDriveMenu(platform::ListOpticalDrives({dir / "no-info", dir / "dev/"})), expected);
}

TEST(DriveMenu, DriveCommandsEndAt1499) {
  std::vector<OpticalDrive> many(250, OpticalDrive{"/dev/srX", ""});
  std::vector<DriveMenuItem> items = BuildDriveMenu(many);
  ASSERT_EQ(items.size(), 1u + (1499 - 1302 + 1));
  EXPECT_EQ(items.back().command, 1499);
}

TEST(DriveMenu, LabelCannotLeadTheOutputOutOfItsFolder) {
  AppSettings settings;
  settings.outputFolder = "/out/";
  std::vector<OpticalDrive> drives = {{"/dev/sr0", "../../etc/AC/DC"}};
  ASSERT_TRUE(ApplyOpenDrive(1302, drives, "mp4", settings, nullptr));
  EXPECT_EQ(settings.outputName, ".._.._etc_AC_DC");
  EXPECT_EQ(settings.outputPath, "/out/.._.._etc_AC_DC.mp4");
  // The menu shows the label as the disc has it.
  EXPECT_EQ(BuildDriveMenu(drives)[1].text, "/dev/sr0 ../../etc/AC/DC");
}

TEST(DriveMenu, BrowsedFolderEndsInSlash) {
  EXPECT_EQ(DiscFolderFromBrowse("/home/user/Rips/Disc1"), "/home/user/Rips/Disc1/");
  EXPECT_EQ(DiscFolderFromBrowse("/home/user/Rips/Disc1/"), "/home/user/Rips/Disc1/");
  EXPECT_EQ(DiscFolderFromBrowse("/"), "/");
  EXPECT_EQ(DiscFolderFromBrowse(""), "");
}

}  // namespace
}  // namespace tarn
