#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/ini_file.h"
#include "profile_fixture.h"
#include "profiles/profile_catalogue.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::TempDir;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TARN_ORVANE_HOME", home.path().c_str(), 1);
    test::ProfileSpec a, b;
    a.file = "a.xml";
    a.listIndex = 4;
    a.category = "C1";
    a.ext = "mp4";
    b.file = "b.xml";
    b.listIndex = 9;
    b.category = "C1";
    b.ext = "3gp";
    test::WriteCatalogue(program.path(), test::StandardCategoryNames(), {a, b});
  }
  void WriteSettings(const std::string& text) { test::WriteFile(home / "Settings.ini", text); }
  AppSettings Load(int64_t now = static_cast<int64_t>(std::time(nullptr))) {
    AppSettings s;
    LoadSettings(s, catalogue, program.path(), home.path(), now);
    return s;
  }
  std::string Saved(const std::string& section, const std::string& key) {
    return platform::ReadIniValue(home / "Settings.ini", section, key);
  }

  TempDir home, program;
  ProfileCatalogue catalogue;
};

TEST_F(SettingsTest, FreshInstallHasTheInitialValues) {
  AppSettings s = Load();
  EXPECT_EQ(s.encoderThreads, 2);
  EXPECT_EQ(s.displayVideoWhenConvert, 2);
  EXPECT_EQ(s.startScreen, 0);
  EXPECT_EQ(s.updateDue, 1);
  EXPECT_EQ(s.fastForwardToMainMovie, 1);
  EXPECT_EQ(s.disableScreenSaver, 1);
  EXPECT_EQ(s.displayOutputSetting, 1);
  EXPECT_EQ(s.genreIndex, 13);
  EXPECT_EQ(s.author, "Tarn Software");
  EXPECT_EQ(s.genre, "Pop");
  EXPECT_EQ(s.year, "2009");
  EXPECT_EQ(s.track, "8");
  EXPECT_EQ(s.album, kMakerDomain);
  EXPECT_EQ(s.comment, std::string("From ") + kMakerAddress);
  EXPECT_EQ(s.logFilePath, home.path() + "Log/TarnLog.txt");
  EXPECT_EQ(s.outputFolder.substr(s.outputFolder.size() - 12), "/TarnOrvane/");
  EXPECT_EQ(catalogue.CurrentProfile()->listIndex, 4);  // no saved profile: the first
}

TEST_F(SettingsTest, EncoderThreadsOutsideOneToEightLoadAsTwo) {
  for (auto [stored, loaded] : {std::pair{"0", 2}, {"9", 2}, {"8", 8}, {"1", 1}, {"-1", 2}, {"x", 2}}) {
    WriteSettings(std::string("[General Setting]\nEncodrThreads=") + stored + "\n");
    EXPECT_EQ(Load().encoderThreads, loaded) << stored;
  }
}

TEST_F(SettingsTest, SaveWritesFlagsAsZeroOrOneAndKeepsOtherKeys) {
  WriteSettings(
      "[General Setting]\nEncodrThreads=9\nStart Screen=5\nShutdown Computer=7\nDisplayVideoWhenConvert=0\n"
      "Someone Else=keep\n[Output Setting]\nProfiles Index=9\n[Foreign]\nx=y\n");
  AppSettings s = Load();
  EXPECT_EQ(s.encoderThreads, 2);
  EXPECT_EQ(s.startScreen, 5);
  EXPECT_EQ(s.shutdownComputer, 7);
  EXPECT_EQ(s.displayVideoWhenConvert, 0);
  EXPECT_EQ(catalogue.CurrentProfile()->listIndex, 9);
  ASSERT_TRUE(SaveSettings(s, catalogue, home.path()));
  EXPECT_EQ(Saved("General Setting", "EncodrThreads"), "2");
  EXPECT_EQ(Saved("General Setting", "Start Screen"), "5");
  EXPECT_EQ(Saved("General Setting", "Shutdown Computer"), "1");
  EXPECT_EQ(Saved("General Setting", "Disalbe Screen Saver"), "1");
  EXPECT_EQ(Saved("General Setting", "Someone Else"), "keep");
  EXPECT_EQ(Saved("Foreign", "x"), "y");
  EXPECT_EQ(Saved("Output Setting", "Profiles Index"), "9");
  EXPECT_EQ(Saved("ID3", "Author"), "Tarn Software");
}

TEST_F(SettingsTest, SavedProfileIndexComesFromTheCurrentProfile) {
  WriteSettings("[Output Setting]\nProfiles Index=777\n");
  AppSettings s = Load();
  EXPECT_EQ(catalogue.currentProfile, 0);  // unknown identifier selects the first profile
  catalogue.SelectProfileById(9);
  ASSERT_TRUE(SaveSettings(s, catalogue, home.path()));
  EXPECT_EQ(Saved("Output Setting", "Profiles Index"), "9");
  catalogue.currentProfile = 99;  // no valid position: 0 is saved
  ASSERT_TRUE(SaveSettings(s, catalogue, home.path()));
  EXPECT_EQ(Saved("Output Setting", "Profiles Index"), "0");
}

TEST_F(SettingsTest, LastCheckEarlierTodayMeansNoCheckThisRun) {
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  std::time_t t = static_cast<std::time_t>(now);
  std::tm local{};
  ::localtime_r(&t, &local);
  local.tm_hour = 0;
  local.tm_min = 0;
  local.tm_sec = 1;
  const int64_t earlierToday = static_cast<int64_t>(std::mktime(&local));
  WriteSettings("[General Setting]\nAuto Update Last Check Date=" + std::to_string(earlierToday) + "\n");
  AppSettings s = Load(now);
  EXPECT_EQ(s.updateDue, 0);
  EXPECT_EQ(s.lastUpdateCheck, earlierToday);
  ASSERT_TRUE(SaveSettings(s, catalogue, home.path()));
  EXPECT_EQ(Saved("General Setting", "Auto Update Last Check Date"), std::to_string(earlierToday));

  WriteSettings("[General Setting]\nAuto Update Last Check Date=" + std::to_string(earlierToday - 86400) + "\n");
  EXPECT_EQ(Load(now).updateDue, 1);
}

TEST_F(SettingsTest, DamagedFileLoadsWhatCanBeReadAndKeepsDefaults) {
  const std::string longFolder(10000, 'x');
  WriteSettings(std::string("\x00\x01\xff", 3) + " garbage\n[General Setting\nStart Screen=1\n" +
                "[General Setting]\nOutput Folder=/" + longFolder + "/\n[ID3]\nYear\n=nokey\nTrack=\n");
  AppSettings s = Load();
  EXPECT_EQ(s.outputFolder, "/" + longFolder + "/");
  EXPECT_EQ(s.startScreen, 0);   // the key sits under a broken section header
  EXPECT_EQ(s.year, "2009");     // a line without "=" is not a key
  EXPECT_EQ(s.track, "8");       // an empty value counts as absent
  EXPECT_EQ(s.displayVideoWhenConvert, 2);
  ASSERT_TRUE(SaveSettings(s, catalogue, home.path()));
  EXPECT_EQ(Saved("General Setting", "Output Folder"), "/" + longFolder + "/");
}

TEST_F(SettingsTest, SaveToUnwritableFolderFailsWithoutTouchingAnything) {
  AppSettings s = Load();
  EXPECT_FALSE(SaveSettings(s, catalogue, "/proc/no-such/"));
}

TEST_F(SettingsTest, AFolderInPlaceOfTheFileLoadsDefaultsAndIsNeverReplaced) {
  test::WriteFile(home / "Settings.ini/inside", "user data");
  AppSettings s = Load();
  EXPECT_EQ(s.encoderThreads, 2);
  EXPECT_EQ(s.displayVideoWhenConvert, 2);
  EXPECT_FALSE(SaveSettings(s, catalogue, home.path()));
  EXPECT_EQ(test::ReadFile(home / "Settings.ini/inside"), "user data");
}

}  // namespace
}  // namespace tarn
