#pragma once
// The output profiles read from the XML files under "profile/", grouped into
// the categories of "profile/ProfileConfig.xml". Read once at start-up and
// never written back; the user's choices live in memory only.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

struct struValueListItem {
  int32_t index = 0;  // position in the list
  std::string value;
};

struct struQuickSettingItem {
  int32_t id = 0;
  std::string name;
  int32_t vb = 0;  // position in videoBitrate's value list
  int32_t ab = 0;  // position in audioBitrate's value list
};

// One encoding parameter with its allowed values and current choice.
struct ProfileValueItem {
  int32_t valueListCount = 0;
  int32_t style = 0;  // 1 fixed, 5 the user may choose
  int32_t listIndex = 0;
  std::string value;
  int32_t defaultListIndex = 0;
  std::string defaultValue;
  std::vector<std::unique_ptr<struValueListItem>> valueList;

  // Makes the entry at `position` the current choice; false when outside.
  bool Choose(int position);
};

struct AVOutputProfile {
  int32_t quickSettingCount = 0;
  int32_t quickSettingStyle = 0;
  struQuickSettingItem currentQuickSetting;
  struQuickSettingItem defaultQuickSetting;
  std::vector<std::unique_ptr<struQuickSettingItem>> quickSettings;
  ProfileValueItem videoCodec;
  ProfileValueItem videoSize;
  ProfileValueItem videoBitrate;
  ProfileValueItem frameRate;
  ProfileValueItem tvMode;
  ProfileValueItem audioCodec;
  ProfileValueItem audioBitrate;
  ProfileValueItem sampleRate;
  ProfileValueItem channels;
  ProfileValueItem aspectRate;
  float volume = 100.0f;
  std::string format;
  std::string ext;
  std::string descLong;
  std::string descShort;
  int32_t listIndex = 0;  // the profile's identifier
  int32_t category = 0;
  std::string profileType;
  int32_t profileIcon = 0;
};

struct AVOutputProfileTypeData {
  int32_t id = 0;
  std::string name;
  int32_t profileIconIndex = 0;
  int32_t profileIDStart = 0;
  int32_t hasProfiles = 0;
};

// The ten value items of a profile in file order (video codec, size, bit
// rate, frame rate, TV mode, audio codec, bit rate, sample rate, channels,
// aspect), with the names used in files, listings and JSON.
struct ValueItemField {
  const char* jsonName;
  ProfileValueItem AVOutputProfile::*member;
};
extern const std::array<ValueItemField, 10> kProfileValueItems;

class ProfileCatalogue {
 public:
  static constexpr int kRecentCount = 10;
  static constexpr int kRecentCategory = 0;
  static constexpr int kAllProfilesCategory = 17;
  static constexpr int kExpectedCategories = 18;

  // Reads "profile/" under `programFolder` (ending in "/"). Returns false
  // when the catalogue is unusable (no "ProfileConfig.xml"); the reason is
  // logged and kept in LoadProblem(). Profiles that loaded stay either way.
  bool Load(const std::string& programFolder);
  void Clear();
  const std::string& LoadProblem() const { return loadProblem_; }

  void SelectProfileById(int32_t id);
  AVOutputProfile* CurrentProfile();
  const AVOutputProfile* CurrentProfile() const;
  void AddRecentProfile(int32_t id);
  // Profiles of the visible category `visibleNumber` (categories with
  // hasProfiles, counted in file order); the recent list when that category
  // is the recent list or when there is no such visible category.
  std::vector<AVOutputProfile*> ListCategoryProfiles(int visibleNumber) const;
  // (visible category number, position in its list) of the current profile;
  // (-1, -1) when there is none or it is not listed.
  std::pair<int, int> LocateCurrentProfile() const;
  void SetCurrentQuickSetting(int position);
  void SetVideoBitratePosition(int position);
  void SetAudioBitratePosition(int position);
  // Positions in the order video codec, size, video bit rate, frame rate,
  // TV mode, audio codec, audio bit rate, sample rate, channels, aspect.
  static void ApplyProfileChoices(AVOutputProfile& profile, const std::array<int, 10>& positions, float volume);

  std::array<int32_t, kRecentCount> recentIds{};
  std::vector<std::unique_ptr<AVOutputProfileTypeData>> categories;
  int32_t currentProfile = 0;
  std::vector<std::unique_ptr<AVOutputProfile>> profiles;

  ProfileCatalogue() { recentIds.fill(-1); }

 private:
  std::vector<AVOutputProfile*> RecentList() const;
  std::string loadProblem_;
};

// The process-wide catalogue.
ProfileCatalogue& Catalogue();

}  // namespace tarn
