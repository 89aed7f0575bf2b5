// Checks the profile catalogue installed with the program (data/profile/,
// copied into the build's program folder) against the value vocabulary of
// data/profile/README.md and the identifiers other parts of the program rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/log.h"
#include "profiles/profile_catalogue.h"
#include "test_support.h"

namespace tarn {
namespace {

using Texts = std::set<std::string>;

const std::string kKeepAspect = "Keep original aspect rate";
const std::string kNone = "None";

// What each format code may hold: the extension and the codec names.
struct FormatRule {
  std::string format;
  std::string ext;
  Texts videoCodecs;  // empty: an audio-only format
  Texts audioCodecs;
};

const std::vector<FormatRule> kFormats = {
    {"3ggp", "3gp", {"h263", "mpeg4"}, {"amr_nb", "aac"}},
    {"3ggp2", "3g2", {"h263", "mpeg4"}, {"amr_nb", "aac"}},
    {"mp4", "mp4", {"mpeg4", "h264"}, {"aac"}},
    {"psp-mp4", "mp4", {"mpeg4"}, {"aac"}},
    {"psp-avc", "mp4", {"h264"}, {"aac"}},
    {"flv", "flv", {"flv", "h264"}, {"mp3"}},
    {"swf", "swf", {"flv"}, {"mp3"}},
    {"mp3", "mp3", {}, {"mp3"}},
    {"m4a", "m4a", {}, {"aac"}},
    {"wav", "wav", {}, {"pcm_s16le"}},
    {"au", "au", {}, {"pcm_s16be", "pcm_mulaw"}},
    {"amr", "amr", {}, {"amr_nb"}},
};

const FormatRule* RuleFor(const std::string& format) {
  for (const auto& r : kFormats)
    if (r.format == format) return &r;
  return nullptr;
}

const Texts kH263Sizes = {"128x96", "176x144", "352x288"};
const Texts kConsoleSizes = {"320x240", "480x272"};
const Texts kAmrBitrates = {"4.75", "5.15", "5.9", "6.7", "7.4", "7.95", "10.2", "12.2"};
const Texts kSampleRates = {"8000", "11025", "16000", "22050", "24000", "32000", "44100", "48000"};
const Texts kMp3SampleRates = {"8000", "11025", "12000", "16000", "22050", "24000", "32000", "44100", "48000"};
const Texts kFlashMp3SampleRates = {"11025", "22050", "44100"};  // all that FLV and SWF store for MP3
const Texts kAspects = {"4:3", "16:9", kKeepAspect};

Texts Values(const ProfileValueItem& item) {
  Texts out;
  for (const auto& v : item.valueList) out.insert(v->value);
  return out;
}

bool Subset(const Texts& inner, const Texts& outer) {
  return std::includes(outer.begin(), outer.end(), inner.begin(), inner.end());
}

// Digits with at most one decimal point inside, above zero ("29.97", "12.2").
bool IsPositiveDecimal(const std::string& s) {
  if (s.empty() || s.front() == '.' || s.back() == '.') return false;
  if (std::count(s.begin(), s.end(), '.') > 1) return false;
  if (!std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; })) return false;
  return std::strtod(s.c_str(), nullptr) > 0.0;
}

bool IsPositiveInteger(const std::string& s) { return IsPositiveDecimal(s) && s.find('.') == std::string::npos; }

// "WxH" with even, positive numbers (every 4:2:0 encoder needs even sizes).
bool ParseSize(const std::string& s, int& w, int& h) {
  const size_t x = s.find('x');
  if (x == std::string::npos) return false;
  const std::string ws = s.substr(0, x), hs = s.substr(x + 1);
  if (!IsPositiveInteger(ws) || !IsPositiveInteger(hs)) return false;
  w = std::atoi(ws.c_str());
  h = std::atoi(hs.c_str());
  return w % 2 == 0 && h % 2 == 0;
}

bool IsSize(const std::string& s) {
  int w = 0, h = 0;
  return s == "Original" || ParseSize(s, w, h);
}

bool IsFixedSingle(const ProfileValueItem& item, const std::string& value) {
  return item.style == 1 && item.valueList.size() == 1 && item.value == value;
}

bool IsAudioOnly(const AVOutputProfile& p) {
  const FormatRule* r = RuleFor(p.format);
  return r && r->videoCodecs.empty();
}

class ShippedCatalogue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    test::LogCapture log;
    catalogue_ = new ProfileCatalogue;
    loaded_ = catalogue_->Load(test::ProgramDir());
    for (const auto& [level, text] : log.records())
      if (level == kLogError) errors_ += text;
  }
  static void TearDownTestSuite() {
    delete catalogue_;
    catalogue_ = nullptr;
  }

  static const AVOutputProfile* Find(int32_t id) {
    for (const auto& p : catalogue_->profiles)
      if (p->listIndex == id) return p.get();
    return nullptr;
  }

  static ProfileCatalogue* catalogue_;
  static bool loaded_;
  static std::string errors_;
};

ProfileCatalogue* ShippedCatalogue::catalogue_ = nullptr;
bool ShippedCatalogue::loaded_ = false;
std::string ShippedCatalogue::errors_;

TEST_F(ShippedCatalogue, LoadsEveryFileWithoutComplaint) {
  ASSERT_TRUE(loaded_) << catalogue_->LoadProblem();
  EXPECT_EQ(catalogue_->LoadProblem(), "");
  EXPECT_EQ(errors_, "");

  // A file that fails to read stops the reading of the rest, so the count
  // of profile files in the program folder must match.
  size_t files = 0;
  for (const auto& folder : std::filesystem::directory_iterator(test::ProgramDir() + "profile")) {
    if (!folder.is_directory()) continue;
    for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
      std::string ext = e.path().extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
      if (ext == ".xml") ++files;
    }
  }
  EXPECT_GT(files, 0u);
  EXPECT_EQ(catalogue_->profiles.size(), files);
}

TEST_F(ShippedCatalogue, HasEighteenCategoriesAddressedByPosition) {
  const auto& cats = catalogue_->categories;
  ASSERT_EQ(cats.size(), size_t(ProfileCatalogue::kExpectedCategories));
  Texts names;
  for (size_t i = 0; i < cats.size(); ++i) {
    SCOPED_TRACE(cats[i]->name);
    EXPECT_EQ(cats[i]->id, int32_t(i));
    EXPECT_EQ(cats[i]->profileIconIndex, int32_t(i));
    EXPECT_FALSE(cats[i]->name.empty());
    EXPECT_TRUE(names.insert(cats[i]->name).second) << "a name joins profiles to every category that has it";
  }
  EXPECT_EQ(cats[ProfileCatalogue::kRecentCategory]->hasProfiles, 1);
  EXPECT_EQ(cats[ProfileCatalogue::kAllProfilesCategory]->hasProfiles, 0);
}

TEST_F(ShippedCatalogue, IdentifiersAreUniqueAndInsideTheirCategoryRange) {
  const auto& cats = catalogue_->categories;
  ASSERT_EQ(cats.size(), size_t(ProfileCatalogue::kExpectedCategories));
  std::set<int32_t> starts;
  for (const auto& c : cats) starts.insert(c->profileIDStart);

  std::set<int32_t> ids;
  for (const auto& p : catalogue_->profiles) {
    SCOPED_TRACE(p->descShort + " #" + std::to_string(p->listIndex));
    EXPECT_TRUE(ids.insert(p->listIndex).second) << "identifier used twice";
    ASSERT_GT(p->category, ProfileCatalogue::kRecentCategory);
    ASSERT_LT(p->category, ProfileCatalogue::kAllProfilesCategory);
    const auto& cat = *cats[size_t(p->category)];
    EXPECT_EQ(cat.name, p->profileType);
    // The range of a category runs up to the next greater start value.
    EXPECT_GE(p->listIndex, cat.profileIDStart);
    auto next = starts.upper_bound(cat.profileIDStart);
    if (next != starts.end()) {
      EXPECT_LT(p->listIndex, *next);
    }
    EXPECT_EQ(IsAudioOnly(*p), p->listIndex >= 300) << "identifiers from 300 on are exactly the audio-only profiles";
  }
}

TEST_F(ShippedCatalogue, EveryFormatOfTheSystemIsOffered) {
  Texts offered, known;
  for (const auto& p : catalogue_->profiles) offered.insert(p->format);
  for (const auto& r : kFormats) known.insert(r.format);
  EXPECT_EQ(offered, known);
}

// Generic rules of one value item: list and attributes agree.
void CheckValueItem(const char* name, const ProfileValueItem& item) {
  SCOPED_TRACE(name);
  ASSERT_FALSE(item.valueList.empty());
  EXPECT_EQ(item.valueListCount, int32_t(item.valueList.size()));
  ASSERT_GE(item.listIndex, 0);
  ASSERT_LT(item.listIndex, int32_t(item.valueList.size()));
  EXPECT_EQ(item.value, item.valueList[size_t(item.listIndex)]->value);
  EXPECT_EQ(item.defaultListIndex, item.listIndex);
  EXPECT_EQ(item.defaultValue, item.value);
  EXPECT_TRUE(item.style == 1 || item.style == 5) << item.style;
  if (item.valueList.size() == 1) {
    EXPECT_EQ(item.style, 1) << "a single value is fixed";
  }
  for (size_t i = 0; i < item.valueList.size(); ++i) EXPECT_EQ(item.valueList[i]->index, int32_t(i));
  EXPECT_EQ(Values(item).size(), item.valueList.size()) << "values repeat";
}

void CheckQuickSettings(const AVOutputProfile& p) {
  ASSERT_FALSE(p.quickSettings.empty());
  EXPECT_EQ(p.quickSettingCount, int32_t(p.quickSettings.size()));
  EXPECT_TRUE(p.quickSettingStyle == 1 || p.quickSettingStyle == 5);
  Texts names;
  for (size_t i = 0; i < p.quickSettings.size(); ++i) {
    const auto& q = *p.quickSettings[i];
    SCOPED_TRACE(q.name);
    // The dialogs look a quick setting up by its id as a position.
    EXPECT_EQ(q.id, int32_t(i));
    EXPECT_TRUE(names.insert(q.name).second && !q.name.empty());
    EXPECT_GE(q.vb, 0);
    EXPECT_LT(q.vb, int32_t(p.videoBitrate.valueList.size()));
    EXPECT_GE(q.ab, 0);
    EXPECT_LT(q.ab, int32_t(p.audioBitrate.valueList.size()));
  }
  // The default quick setting agrees with the bit rates chosen by default.
  EXPECT_EQ(p.currentQuickSetting.id, p.defaultQuickSetting.id);
  EXPECT_EQ(p.defaultQuickSetting.vb, p.videoBitrate.defaultListIndex);
  EXPECT_EQ(p.defaultQuickSetting.ab, p.audioBitrate.defaultListIndex);
}

TEST_F(ShippedCatalogue, EveryProfileUsesTheVocabulary) {
  ASSERT_FALSE(catalogue_->profiles.empty());
  for (const auto& pp : catalogue_->profiles) {
    const AVOutputProfile& p = *pp;
    SCOPED_TRACE(p.descShort + " #" + std::to_string(p.listIndex));
    const FormatRule* rule = RuleFor(p.format);
    ASSERT_NE(rule, nullptr) << p.format;
    EXPECT_EQ(p.ext, rule->ext);
    EXPECT_FALSE(p.descShort.empty());
    EXPECT_FALSE(p.descLong.empty());
    EXPECT_GE(p.profileIcon, 0);
    EXPECT_LE(p.profileIcon, 71);
    EXPECT_FLOAT_EQ(p.volume, 100.0f);
    for (const auto& field : kProfileValueItems) CheckValueItem(field.jsonName, p.*field.member);
    CheckQuickSettings(p);

    if (rule->videoCodecs.empty()) {
      for (const ProfileValueItem* v : {&p.videoCodec, &p.videoSize, &p.videoBitrate, &p.frameRate, &p.tvMode})
        EXPECT_TRUE(IsFixedSingle(*v, kNone)) << v->value;
    } else {
      EXPECT_TRUE(Subset(Values(p.videoCodec), rule->videoCodecs));
      for (const auto& s : Values(p.videoSize)) EXPECT_TRUE(IsSize(s)) << s;
      for (const auto& b : Values(p.videoBitrate)) EXPECT_TRUE(IsPositiveDecimal(b)) << b;
      for (const auto& f : Values(p.frameRate))
        EXPECT_TRUE(IsPositiveDecimal(f) && std::strtod(f.c_str(), nullptr) <= 60.0) << f;
      if (Values(p.videoCodec).count("h263")) {
        EXPECT_EQ(Values(p.videoCodec).size(), 1u) << "H.263 sizes would not fit the other codec";
        EXPECT_TRUE(Subset(Values(p.videoSize), kH263Sizes));
      }
      if (p.format == "psp-mp4" || p.format == "psp-avc") {
        EXPECT_TRUE(Subset(Values(p.videoSize), kConsoleSizes));
        EXPECT_EQ(Values(p.frameRate), Texts{"29.97"});
      }
    }
    if (p.listIndex != 10) {
      EXPECT_TRUE(IsFixedSingle(p.tvMode, kNone)) << p.tvMode.value;
    }
    if (p.listIndex != 10 && p.listIndex != 111) {
      EXPECT_TRUE(IsFixedSingle(p.aspectRate, kKeepAspect)) << "the aspect row is shown only for 10 and 111";
    }
    EXPECT_TRUE(Subset(Values(p.aspectRate), kAspects));

    EXPECT_TRUE(Subset(Values(p.audioCodec), rule->audioCodecs));
    for (const auto& b : Values(p.audioBitrate)) EXPECT_TRUE(IsPositiveDecimal(b)) << b;
    EXPECT_TRUE(Subset(Values(p.sampleRate), kSampleRates));
    EXPECT_TRUE(Subset(Values(p.channels), Texts{"1", "2"}));
    if (Values(p.audioCodec).count("amr_nb")) {
      EXPECT_EQ(Values(p.audioCodec).size(), 1u);
      EXPECT_TRUE(Subset(Values(p.audioBitrate), kAmrBitrates));
      EXPECT_EQ(Values(p.sampleRate), Texts{"8000"});
      EXPECT_EQ(Values(p.channels), Texts{"1"});
    }
    if (Values(p.audioCodec).count("mp3")) {
      EXPECT_TRUE(Subset(Values(p.sampleRate), p.format == "mp3" ? kMp3SampleRates : kFlashMp3SampleRates));
    }
  }
}

// The identifiers the dialogs, the estimate and the encoder test.
struct SpecialProfile {
  int32_t id;
  const char* format;  // empty: any video format
  bool audioOnly;
  bool tvMode;         // NTSC/PAL row
  bool aspectChoice;   // aspect row with a choice
};

const SpecialProfile kSpecialProfiles[] = {
    {10, "", false, true, true},           // customisation opens at once; TV mode and aspect rows
    {111, "", false, false, true},         // aspect row without TV mode
    {302, "mp3", true, false, false},      // the one with the metadata rows
    {307, "wav", true, false, false},      // estimated at the fixed 172 kbit/s
    {308, "au", true, false, false},       // estimated at the fixed 172 kbit/s
};

TEST_F(ShippedCatalogue, SpecialIdentifiersExistWithTheirRows) {
  for (const auto& s : kSpecialProfiles) {
    SCOPED_TRACE(s.id);
    const AVOutputProfile* p = Find(s.id);
    ASSERT_NE(p, nullptr);
    if (*s.format) {
      EXPECT_EQ(p->format, s.format);
    }
    EXPECT_EQ(IsAudioOnly(*p), s.audioOnly);
    EXPECT_EQ(p->tvMode.valueList.size() > 1, s.tvMode);
    EXPECT_EQ(p->aspectRate.valueList.size() > 1 && p->aspectRate.style == 5, s.aspectChoice);
  }
}

// The TV mode choice moves frame rate and size together: "NTSC" picks frame
// rate 1 and size 0, "PAL" frame rate 0 and size 1; the lists must match.
TEST_F(ShippedCatalogue, TvModeProfileListsFitTheNtscPalRule) {
  const AVOutputProfile* p = Find(10);
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->tvMode.valueList.size(), 2u);
  EXPECT_EQ(Values(p->tvMode), (Texts{"NTSC", "PAL"}));
  EXPECT_EQ(p->tvMode.style, 5);
  ASSERT_EQ(p->frameRate.valueList.size(), 2u);
  EXPECT_EQ(p->frameRate.valueList[0]->value, "25");
  EXPECT_EQ(p->frameRate.valueList[1]->value, "29.97");
  ASSERT_EQ(p->videoSize.valueList.size(), 2u);
  int nw = 0, nh = 0, pw = 0, ph = 0;
  ASSERT_TRUE(ParseSize(p->videoSize.valueList[0]->value, nw, nh));
  ASSERT_TRUE(ParseSize(p->videoSize.valueList[1]->value, pw, ph));
  EXPECT_EQ(nw, pw);
  EXPECT_TRUE((nh == 480 && ph == 576) || (nh == 240 && ph == 288)) << nh << " " << ph;

  const bool ntsc = p->tvMode.value == "NTSC";
  EXPECT_EQ(p->frameRate.listIndex, ntsc ? 1 : 0);
  EXPECT_EQ(p->videoSize.listIndex, ntsc ? 0 : 1);
}

}  // namespace
}  // namespace tarn
