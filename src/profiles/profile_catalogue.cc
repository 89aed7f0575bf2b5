#include "profiles/profile_catalogue.h"

#include <algorithm>

#include "app/log.h"
#include "profiles/profile_reader.h"

namespace tarn {

const std::array<ValueItemField, 10> kProfileValueItems = {{
    {"videoCodec", &AVOutputProfile::videoCodec},
    {"videoSize", &AVOutputProfile::videoSize},
    {"videoBitrate", &AVOutputProfile::videoBitrate},
    {"frameRate", &AVOutputProfile::frameRate},
    {"tvMode", &AVOutputProfile::tvMode},
    {"audioCodec", &AVOutputProfile::audioCodec},
    {"audioBitrate", &AVOutputProfile::audioBitrate},
    {"sampleRate", &AVOutputProfile::sampleRate},
    {"channels", &AVOutputProfile::channels},
    {"aspect", &AVOutputProfile::aspectRate},
}};

bool ProfileValueItem::Choose(int position) {
  if (position < 0 || static_cast<size_t>(position) >= valueList.size()) return false;
  listIndex = valueList[static_cast<size_t>(position)]->index;
  value = valueList[static_cast<size_t>(position)]->value;
  return true;
}

ProfileCatalogue& Catalogue() {
  static ProfileCatalogue catalogue;
  return catalogue;
}

void ProfileCatalogue::Clear() {
  recentIds.fill(-1);
  categories.clear();
  profiles.clear();
  currentProfile = 0;
  loadProblem_.clear();
}

bool ProfileCatalogue::Load(const std::string& programFolder) {
  Clear();
  const std::string folder = programFolder + "profile/";
  ReadProfileFiles(folder, profiles);
  if (!ReadProfileConfig(folder + "ProfileConfig.xml", categories)) {
    loadProblem_ = "The profile list " + folder + "ProfileConfig.xml is missing or damaged";
    Log(kLogError, "%s\n", loadProblem_.c_str());
  }

  for (auto& profile : profiles) {
    for (auto& category : categories) {
      if (profile->profileType != category->name) continue;
      category->hasProfiles = 1;
      profile->category = category->id;
      profile->listIndex += category->profileIDStart;
    }
  }
  if (categories.size() > kAllProfilesCategory) categories[kAllProfilesCategory]->hasProfiles = 0;
  if (!categories.empty()) categories[kRecentCategory]->hasProfiles = 1;
  if (!categories.empty() && categories.size() < kExpectedCategories)
    Log(kLogError, "The profile list names %zu categories, %d are expected\n", categories.size(),
        kExpectedCategories);

  std::stable_sort(profiles.begin(), profiles.end(),
                   [](const auto& a, const auto& b) { return a->listIndex < b->listIndex; });
  if (profiles.empty() && loadProblem_.empty()) {
    loadProblem_ = "No output profile could be read from " + folder;
    Log(kLogError, "%s\n", loadProblem_.c_str());
  }
  return !categories.empty();
}

void ProfileCatalogue::SelectProfileById(int32_t id) {
  currentProfile = 0;
  for (size_t i = 0; i < profiles.size(); ++i) {
    if (profiles[i]->listIndex == id) {
      currentProfile = static_cast<int32_t>(i);
      return;
    }
  }
}

AVOutputProfile* ProfileCatalogue::CurrentProfile() {
  if (currentProfile < 0 || static_cast<size_t>(currentProfile) >= profiles.size()) return nullptr;
  return profiles[static_cast<size_t>(currentProfile)].get();
}

const AVOutputProfile* ProfileCatalogue::CurrentProfile() const {
  return const_cast<ProfileCatalogue*>(this)->CurrentProfile();
}

void ProfileCatalogue::AddRecentProfile(int32_t id) {
  if (std::find(recentIds.begin(), recentIds.end(), id) != recentIds.end()) return;
  std::move_backward(recentIds.begin(), recentIds.end() - 1, recentIds.end());
  recentIds[0] = id;
}

std::vector<AVOutputProfile*> ProfileCatalogue::RecentList() const {
  std::vector<AVOutputProfile*> list;
  for (int32_t id : recentIds) {
    if (id == -1) continue;
    AVOutputProfile* last = nullptr;
    for (const auto& p : profiles)
      if (p->listIndex == id) last = p.get();
    if (last) list.push_back(last);
  }
  return list;
}

std::vector<AVOutputProfile*> ProfileCatalogue::ListCategoryProfiles(int visibleNumber) const {
  int visible = 0;
  for (const auto& category : categories) {
    if (!category->hasProfiles) continue;
    if (visible++ != visibleNumber) continue;
    if (category->id == kRecentCategory) return RecentList();
    std::vector<AVOutputProfile*> list;
    for (const auto& p : profiles)
      if (category->id == kAllProfilesCategory || p->category == category->id) list.push_back(p.get());
    return list;
  }
  return RecentList();
}

std::pair<int, int> ProfileCatalogue::LocateCurrentProfile() const {
  const AVOutputProfile* current = CurrentProfile();
  if (!current) return {-1, -1};
  // The profile's category id is its category's position in the file.
  const int position = current->category;
  if (position < 0 || static_cast<size_t>(position) >= categories.size()) return {-1, -1};
  int visibleNumber = 0;
  for (int i = 0; i < position; ++i)
    if (categories[static_cast<size_t>(i)]->hasProfiles) ++visibleNumber;
  auto list = ListCategoryProfiles(visibleNumber);
  auto it = std::find(list.begin(), list.end(), current);
  return {visibleNumber, it == list.end() ? -1 : static_cast<int>(it - list.begin())};
}

void ProfileCatalogue::SetCurrentQuickSetting(int position) {
  AVOutputProfile* p = CurrentProfile();
  if (!p || position < 0 || static_cast<size_t>(position) >= p->quickSettings.size()) return;
  p->currentQuickSetting = *p->quickSettings[static_cast<size_t>(position)];
}

void ProfileCatalogue::SetVideoBitratePosition(int position) {
  if (AVOutputProfile* p = CurrentProfile()) p->videoBitrate.Choose(position);
}

void ProfileCatalogue::SetAudioBitratePosition(int position) {
  if (AVOutputProfile* p = CurrentProfile()) p->audioBitrate.Choose(position);
}

void ProfileCatalogue::ApplyProfileChoices(AVOutputProfile& profile, const std::array<int, 10>& positions,
                                           float volume) {
  // TV mode (position 4) is applied last, after the volume.
  for (size_t i = 0; i < kProfileValueItems.size(); ++i) {
    if (i == 4) continue;
    (profile.*kProfileValueItems[i].member).Choose(positions[i]);
  }
  profile.volume = volume;
  profile.tvMode.Choose(positions[4]);
}

}  // namespace tarn
