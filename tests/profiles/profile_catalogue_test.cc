#include "profiles/profile_catalogue.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "profile_fixture.h"
#include "test_support.h"

namespace tarn {
namespace {

using test::ProfileSpec;
using test::TempDir;
using test::WriteCatalogue;

ProfileSpec Spec(const std::string& file, int listIndex, const std::string& category, const std::string& name = "") {
  ProfileSpec s;
  s.file = file;
  s.listIndex = listIndex;
  s.category = category;
  s.name = name.empty() ? file : name;
  return s;
}

std::vector<std::string> Names(const std::vector<AVOutputProfile*>& list) {
  std::vector<std::string> names;
  for (auto* p : list) names.push_back(p->descShort);
  return names;
}

TEST(ProfileCatalogue, LoadsLinksAndSortsByIdentifier) {
  TempDir dir;
  // C1 starts at 100, C2 at 300.
  std::vector<int> starts(18, 0);
  starts[1] = 100;
  starts[2] = 300;
  WriteCatalogue(dir.path(), test::StandardCategoryNames(),
                 {Spec("b.xml", 5, "C2", "B"), Spec("a.XML", 2, "C1", "A"), Spec("c.xml", 1, "C1", "C")}, starts);
  test::WriteFile(dir / "profile/video/skip.xml.bak", "not a profile");
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  ASSERT_EQ(c.profiles.size(), 3u);
  EXPECT_EQ(Names({c.profiles[0].get(), c.profiles[1].get(), c.profiles[2].get()}),
            (std::vector<std::string>{"C", "A", "B"}));
  EXPECT_EQ(c.profiles[0]->listIndex, 101);
  EXPECT_EQ(c.profiles[2]->listIndex, 305);
  EXPECT_EQ(c.profiles[2]->category, 2);
  EXPECT_FLOAT_EQ(c.profiles[0]->volume, 100.0f);

  // Visibility: recent always, 17 never, empty categories hidden.
  EXPECT_EQ(c.categories[0]->hasProfiles, 1);
  EXPECT_EQ(c.categories[1]->hasProfiles, 1);
  EXPECT_EQ(c.categories[3]->hasProfiles, 0);
  EXPECT_EQ(c.categories[17]->hasProfiles, 0);

  // Value items as read.
  const AVOutputProfile& p = *c.profiles[0];
  EXPECT_EQ(p.videoBitrate.value, "512");
  EXPECT_EQ(p.videoBitrate.defaultListIndex, 1);
  ASSERT_EQ(p.videoBitrate.valueList.size(), 3u);
  EXPECT_EQ(p.videoBitrate.valueList[2]->index, 2);
  EXPECT_EQ(p.tvMode.style, 1);
  EXPECT_EQ(p.aspectRate.value, "Keep original aspect rate");
  ASSERT_EQ(p.quickSettings.size(), 2u);
  EXPECT_EQ(p.currentQuickSetting.name, "Low");
}

TEST(ProfileCatalogue, EqualIdentifiersKeepLoadOrderAndSelectPicksTheFirst) {
  TempDir dir;
  WriteCatalogue(dir.path(), test::StandardCategoryNames(), {Spec("x.xml", 7, "C1", "X")});
  // A second subfolder read later: same identifier.
  test::WriteFile(dir / "profile/zz/y.xml", test::ProfileXml(Spec("y.xml", 7, "C1", "Y")));
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  ASSERT_EQ(c.profiles.size(), 2u);
  const std::string first = c.profiles[0]->descShort;
  c.SelectProfileById(7);
  EXPECT_EQ(c.CurrentProfile()->descShort, first);
  c.SelectProfileById(12345);
  EXPECT_EQ(c.currentProfile, 0);
}

TEST(ProfileCatalogue, RecentListMovesNothingOnRepeatAndDropsTheOldest) {
  TempDir dir;
  std::vector<ProfileSpec> specs;
  for (int i = 0; i < 11; ++i) specs.push_back(Spec("p" + std::to_string(i) + ".xml", i, "C1", "P" + std::to_string(i)));
  WriteCatalogue(dir.path(), test::StandardCategoryNames(), specs);
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  c.AddRecentProfile(1);
  c.AddRecentProfile(2);
  c.AddRecentProfile(1);
  EXPECT_EQ(Names(c.ListCategoryProfiles(0)), (std::vector<std::string>{"P2", "P1"}));
  for (int i = 3; i <= 10; ++i) c.AddRecentProfile(i);
  c.AddRecentProfile(0);  // the eleventh distinct one
  auto recent = c.ListCategoryProfiles(0);
  ASSERT_EQ(recent.size(), 10u);
  EXPECT_EQ(recent.front()->descShort, "P0");
  EXPECT_EQ(recent.back()->descShort, "P2");  // P1 dropped
  c.AddRecentProfile(999);  // matches no profile: adds nothing to the list
  EXPECT_EQ(c.ListCategoryProfiles(0).size(), 9u);
}

TEST(ProfileCatalogue, CategoryListsAndLocatingTheCurrentProfile) {
  TempDir dir;
  auto names = test::StandardCategoryNames();
  WriteCatalogue(dir.path(), names, {Spec("a.xml", 1, "C2", "A"), Spec("b.xml", 2, "C5", "B"),
                                      Spec("c.xml", 3, "C5", "C")});
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  // Visible: 0 Recent, 1 C2, 2 C5.
  EXPECT_EQ(Names(c.ListCategoryProfiles(1)), (std::vector<std::string>{"A"}));
  EXPECT_EQ(Names(c.ListCategoryProfiles(2)), (std::vector<std::string>{"B", "C"}));
  EXPECT_TRUE(c.ListCategoryProfiles(7).empty());  // no such visible category: the (empty) recent list
  c.SelectProfileById(3);
  EXPECT_EQ(c.LocateCurrentProfile(), std::make_pair(2, 1));
}

TEST(ProfileCatalogue, AllProfilesCategoryListsEveryProfileWhenShown) {
  TempDir dir;
  auto names = test::StandardCategoryNames();
  WriteCatalogue(dir.path(), names, {Spec("a.xml", 1, "C2", "A"), Spec("b.xml", 2, "All", "B")});
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  EXPECT_EQ(c.categories[17]->hasProfiles, 0);
  c.categories[17]->hasProfiles = 1;  // as a menu that shows it would
  EXPECT_EQ(Names(c.ListCategoryProfiles(2)), (std::vector<std::string>{"A", "B"}));
}

TEST(ProfileCatalogue, ChoicesQuickSettingsAndBitratePositions) {
  TempDir dir;
  WriteCatalogue(dir.path(), test::StandardCategoryNames(), {Spec("a.xml", 1, "C1")});
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  c.SetCurrentQuickSetting(1);
  EXPECT_EQ(c.CurrentProfile()->currentQuickSetting.name, "High");
  c.SetVideoBitratePosition(2);
  EXPECT_EQ(c.CurrentProfile()->videoBitrate.value, "768");
  c.SetAudioBitratePosition(5);  // outside: unchanged
  EXPECT_EQ(c.CurrentProfile()->audioBitrate.value, "128");

  AVOutputProfile& p = *c.CurrentProfile();
  ProfileCatalogue::ApplyProfileChoices(p, {1, 1, 0, 0, 0, 0, 0, 1, 0, 9}, 150.0f);
  EXPECT_EQ(p.videoCodec.value, "h264");
  EXPECT_EQ(p.videoSize.value, "640x480");
  EXPECT_EQ(p.videoBitrate.value, "256");
  EXPECT_EQ(p.frameRate.value, "25");
  EXPECT_EQ(p.sampleRate.value, "48000");
  EXPECT_EQ(p.channels.value, "1");
  EXPECT_EQ(p.aspectRate.value, "Keep original aspect rate");  // position 9 outside
  EXPECT_FLOAT_EQ(p.volume, 150.0f);

  ProfileCatalogue empty;
  empty.SetVideoBitratePosition(0);  // no current profile: nothing happens
  EXPECT_EQ(empty.CurrentProfile(), nullptr);
}

TEST(ProfileCatalogue, ShortValueListAndDefaultQuickSettingOutsideItsList) {
  TempDir dir;
  ProfileSpec s = Spec("a.xml", 1, "C1");
  s.quickDefault = 9;
  std::string xml = test::ProfileXml(s);
  // Claim five bit rates where three are listed.
  xml.replace(xml.find("value_list_count=\"3\""), 20, "value_list_count=\"5\"");
  WriteCatalogue(dir.path(), test::StandardCategoryNames(), {});
  test::WriteFile(dir / "profile/video/a.xml", xml);
  test::LogCapture log;
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  ASSERT_EQ(c.profiles.size(), 1u);
  EXPECT_EQ(c.profiles[0]->videoBitrate.valueListCount, 5);
  EXPECT_EQ(c.profiles[0]->videoBitrate.valueList.size(), 3u);
  EXPECT_EQ(c.profiles[0]->currentQuickSetting.name, "Low");
  EXPECT_TRUE(log.Contains("default quick setting 9"));
}

// Entry names in the order the file system lists them, as the loader walks.
std::vector<std::string> ListingOrder(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

TEST(ProfileCatalogue, BrokenProfileFileStopsReadingButKeepsEarlierProfiles) {
  TempDir dir;
  std::vector<ProfileSpec> specs;
  for (const char* sub : {"one", "two"})
    for (int i = 0; i < 3; ++i) {
      ProfileSpec s = Spec(std::string(sub) + std::to_string(i) + ".xml", i, "C1");
      s.subfolder = sub;
      specs.push_back(s);
    }
  WriteCatalogue(dir.path(), test::StandardCategoryNames(), specs);
  test::WriteFile(dir / "profile/one/one1.xml", "<output_profile><format");  // broken: no end of tag

  std::vector<std::string> expected;
  bool broken = false;
  for (const auto& sub : ListingOrder(dir / "profile"))
    for (const auto& name : ListingOrder(dir / "profile/" + sub)) {
      if (broken || name.find(".xml") == std::string::npos) continue;
      if (name == "one1.xml") broken = true;
      else expected.push_back(name);
    }
  test::LogCapture log;
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  std::vector<std::string> loaded;
  for (const auto& p : c.profiles) loaded.push_back(p->descShort);
  std::sort(loaded.begin(), loaded.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(loaded, expected);
  EXPECT_TRUE(log.Contains("one1.xml"));
}

TEST(ProfileCatalogue, MissingOrShortConfigKeepsProfilesAndSaysWhy) {
  TempDir dir;
  WriteCatalogue(dir.path(), {"Recent", "C1"}, {Spec("a.xml", 1, "C1")});
  test::LogCapture log;
  ProfileCatalogue shortList;
  EXPECT_TRUE(shortList.Load(dir.path()));
  EXPECT_EQ(shortList.categories.size(), 2u);
  EXPECT_EQ(shortList.categories[1]->hasProfiles, 1);
  EXPECT_TRUE(log.Contains("18 are expected"));

  std::remove((dir / "profile/ProfileConfig.xml").c_str());
  ProfileCatalogue none;
  EXPECT_FALSE(none.Load(dir.path()));
  EXPECT_EQ(none.profiles.size(), 1u);
  EXPECT_FALSE(none.LoadProblem().empty());
  EXPECT_TRUE(none.ListCategoryProfiles(0).empty());
  EXPECT_EQ(none.LocateCurrentProfile(), std::make_pair(-1, -1));

  ProfileCatalogue nothing;
  EXPECT_FALSE(nothing.Load(dir / "no-such-program-folder/"));
  EXPECT_EQ(nothing.CurrentProfile(), nullptr);
}

TEST(ProfileCatalogue, OutOfRangeCategoryValuesBecomeZero) {
  TempDir dir;
  test::WriteFile(dir / "profile/ProfileConfig.xml",
                  "<profile_config><profile_item id=\"-4\" name=\"R\" profileIDStart=\"-9\" profileIconIndex=\"18\"/>"
                  "<profile_item id=\"1\" name=\"V\" profileIDStart=\"5\" profileIconIndex=\"17\"/></profile_config>");
  ProfileCatalogue c;
  ASSERT_TRUE(c.Load(dir.path()));
  ASSERT_EQ(c.categories.size(), 2u);
  EXPECT_EQ(c.categories[0]->id, 0);
  EXPECT_EQ(c.categories[0]->profileIDStart, 0);
  EXPECT_EQ(c.categories[0]->profileIconIndex, 0);
  EXPECT_EQ(c.categories[1]->profileIconIndex, 17);
}

}  // namespace
}  // namespace tarn
