#include "profiles/profile_reader.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "app/log.h"
#include "platform/number_text.h"
#include "platform/paths.h"
#include "profiles/markup.h"

namespace tarn {
namespace {

using platform::ParseInt32;

// Entry names of a folder in the order the file system returns them,
// without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

bool HasXmlExtension(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name.size() >= 4 && name.compare(name.size() - 4, 4, ".xml") == 0;
}

int32_t IntAttribute(const CMarkup& xml, const char* name) { return ParseInt32(xml.GetAttribute(name)); }

// Positioned on the value item's element.
void ReadValueItem(CMarkup& xml, ProfileValueItem& item) {
  item.value = xml.GetAttribute("value");
  item.listIndex = IntAttribute(xml, "list_index");
  item.defaultValue = item.value;
  item.defaultListIndex = item.listIndex;
  item.valueListCount = IntAttribute(xml, "value_list_count");
  item.style = IntAttribute(xml, "style");
  xml.EnterElement();
  for (int32_t i = 0; i < item.valueListCount; ++i) {
    // Once one is missing the rest are too: the cursor does not move on a
    // failed search, so stop instead of repeating it count times.
    if (!xml.FindElement("value_list")) break;
    auto entry = std::make_unique<struValueListItem>();
    entry->index = i;
    entry->value = xml.GetAttribute("value");
    item.valueList.push_back(std::move(entry));
  }
  xml.LeaveElement();
}

bool ReadValueItems(CMarkup& xml, AVOutputProfile& p, const char* const names[5], size_t first,
                    const std::string& path) {
  for (size_t i = 0; i < 5; ++i) {
    if (!xml.FindElement(names[i])) {
      Log(kLogError, "Profile %s has no element %s\n", path.c_str(), names[i]);
      return false;
    }
    ReadValueItem(xml, p.*kProfileValueItems[first + i].member);
  }
  return true;
}

void ReadQuickSettings(CMarkup& xml, AVOutputProfile& p, const std::string& path) {
  if (!xml.FindElement("quicksetting")) return;
  p.quickSettingStyle = IntAttribute(xml, "style");
  const int32_t defaultPosition = IntAttribute(xml, "list_index");
  p.quickSettingCount = IntAttribute(xml, "value_list_count");
  xml.EnterElement();
  while (xml.FindElement()) {
    auto q = std::make_unique<struQuickSettingItem>();
    q->id = IntAttribute(xml, "id");
    q->name = xml.GetAttribute("name");
    q->vb = IntAttribute(xml, "vb");
    q->ab = IntAttribute(xml, "ab");
    p.quickSettings.push_back(std::move(q));
  }
  xml.LeaveElement();
  if (defaultPosition >= 0 && static_cast<size_t>(defaultPosition) < p.quickSettings.size()) {
    p.defaultQuickSetting = *p.quickSettings[static_cast<size_t>(defaultPosition)];
  } else if (!p.quickSettings.empty()) {
    Log(kLogError, "Profile %s: default quick setting %d is not in its list, the first one is used\n", path.c_str(),
        defaultPosition);
    p.defaultQuickSetting = *p.quickSettings.front();
  }
  p.currentQuickSetting = p.defaultQuickSetting;
}

bool Require(CMarkup& xml, const char* name, const std::string& path) {
  if (xml.FindElement(name)) return true;
  Log(kLogError, "Profile %s has no element %s\n", path.c_str(), name);
  return false;
}

}  // namespace

bool ReadProfileFile(const std::string& path, AVOutputProfile& p) {
  CMarkup xml;
  p.volume = 100.0f;
  if (!xml.LoadDocumentFile(path)) return false;
  if (!Require(xml, "output_profile", path)) return false;
  xml.EnterElement();
  if (!Require(xml, "format", path)) return false;
  p.format = xml.GetAttribute("format");
  p.ext = xml.GetAttribute("ext");
  p.descShort = xml.GetAttribute("desc_s");
  p.descLong = xml.GetAttribute("desc_l");
  p.listIndex = IntAttribute(xml, "list_index");
  p.profileType = xml.GetAttribute("ProfileType");
  p.profileIcon = IntAttribute(xml, "ProfileIcon");

  if (!Require(xml, "parameters", path)) return false;
  xml.EnterElement();
  if (!Require(xml, "quicksettings", path)) return false;
  xml.EnterElement();
  ReadQuickSettings(xml, p, path);
  xml.LeaveElement();

  static const char* const kVideo[5] = {"codec", "size", "bitrate", "framerate", "tvmode"};
  static const char* const kAudio[5] = {"codec", "bitrate", "samplerate", "channel", "aspectrate"};
  if (!Require(xml, "video", path)) return false;
  xml.EnterElement();
  if (!ReadValueItems(xml, p, kVideo, 0, path)) return false;
  xml.LeaveElement();
  if (!Require(xml, "audio", path)) return false;
  xml.EnterElement();
  return ReadValueItems(xml, p, kAudio, 5, path);
}

void ReadProfileFiles(const std::string& profileFolder, std::vector<std::unique_ptr<AVOutputProfile>>& profiles) {
  for (const std::string& sub : FolderEntries(profileFolder)) {
    const std::string subFolder = profileFolder + sub + "/";
    if (!platform::IsFolder(subFolder)) continue;
    for (const std::string& name : FolderEntries(subFolder)) {
      if (!HasXmlExtension(name)) continue;
      const std::string path = subFolder + name;
      // A file we may not read is passed over (the loader logs why); a file
      // that reads but is broken ends the reading of profile files.
      if (::access(path.c_str(), R_OK) != 0) {
        Log(kLogError, "Cannot open file:%s \n", path.c_str());
        continue;
      }
      auto profile = std::make_unique<AVOutputProfile>();
      if (!ReadProfileFile(path, *profile)) {
        Log(kLogError, "Profile file %s is damaged; the profile files after it are not read\n", path.c_str());
        return;
      }
      profiles.push_back(std::move(profile));
    }
  }
}

bool ReadProfileConfig(const std::string& path, std::vector<std::unique_ptr<AVOutputProfileTypeData>>& categories) {
  CMarkup xml;
  if (!xml.LoadDocumentFile(path)) return false;
  if (!xml.FindElement("profile_config")) return false;
  xml.EnterElement();
  while (xml.FindElement("profile_item")) {
    auto c = std::make_unique<AVOutputProfileTypeData>();
    c->id = std::max(0, IntAttribute(xml, "id"));
    c->name = xml.GetAttribute("name");
    c->profileIDStart = std::max(0, IntAttribute(xml, "profileIDStart"));
    c->profileIconIndex = IntAttribute(xml, "profileIconIndex");
    if (c->profileIconIndex < 0 || c->profileIconIndex > 17) c->profileIconIndex = 0;
    categories.push_back(std::move(c));
  }
  return true;
}

}  // namespace tarn
