#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace tarn::platform {
namespace {

using tarn::test::ReadFile;
using tarn::test::TempDir;
using tarn::test::WriteFile;

TEST(IniFile, LooksUpWithoutCaseAndKeepsWrittenCase) {
  TempDir dir;
  WriteFile(dir / "a.ini", "; comment\r\n[General Setting]\r\nOutput Folder = /tmp/x/ \r\nQuoted=\"a b\"\r\n");
  IniFile ini;
  ASSERT_TRUE(ini.Load(dir / "a.ini"));
  EXPECT_EQ(ini.Get("general setting", "OUTPUT FOLDER"), "/tmp/x/");
  EXPECT_EQ(ini.Get("General Setting", "Quoted"), "a b");
  EXPECT_EQ(ini.Get("General Setting", "Missing"), "");
  EXPECT_FALSE(ini.Find("Other", "Output Folder").has_value());
}

TEST(IniFile, WritingOneKeyKeepsTheRestOfTheFile) {
  TempDir dir;
  const std::string path = dir / "a.ini";
  WriteFile(path, "; keep me\n[A]\nx=1\njunk line\n\n[B]\ny=2\n");
  ASSERT_TRUE(WriteIniValue(path, "a", "X", "10"));
  ASSERT_TRUE(WriteIniValue(path, "A", "z", "3"));
  ASSERT_TRUE(WriteIniValue(path, "C", "w", "4"));
  EXPECT_EQ(ReadFile(path), "; keep me\r\n[A]\r\nx=10\r\njunk line\r\nz=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nw=4\r\n");
}

TEST(IniFile, SaveReplacesAtomicallyAndFailsCleanlyOnUnwritableFolder) {
  TempDir dir;
  IniFile ini;
  ini.Set("S", "k", "v");
  EXPECT_TRUE(ini.Save(dir / "s.ini"));
  EXPECT_EQ(ReadIniValue(dir / "s.ini", "S", "k"), "v");
  EXPECT_FALSE(ini.Save(dir / "no-such-folder/s.ini"));
}

TEST(IniFile, BinaryJunkLoadsWhatCanBeRead) {
  TempDir dir;
  std::string junk = std::string("\x00\xff\xfe[\x01\x02", 6) + "\n[S]\nk=v\n" + std::string(3000, '\xee') + "\n";
  WriteFile(dir / "j.ini", junk);
  IniFile ini;
  ASSERT_TRUE(ini.Load(dir / "j.ini"));
  EXPECT_EQ(ini.Get("S", "k"), "v");
}

}  // namespace
}  // namespace tarn::platform
