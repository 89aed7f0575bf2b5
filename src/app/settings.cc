#include "app/settings.h"

#include <ctime>

#include "platform/ini_file.h"
#include "platform/number_text.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace tarn {
namespace {

using platform::IniFile;

constexpr const char* kGeneral = "General Setting";
constexpr const char* kOutput = "Output Setting";
constexpr const char* kId3 = "ID3";

enum class Kind { Flag, Int, Text, Int64 };

// One stored field: section, key, how it is stored, and where it lives.
struct StoredField {
  const char* section;
  const char* key;
  Kind kind;
  int32_t AppSettings::*intField;
  std::string AppSettings::*textField;
};

// Table order is the order of reading and writing.
const StoredField kFields[] = {
    {kGeneral, "Shutdown Computer", Kind::Flag, &AppSettings::shutdownComputer, nullptr},
    {kGeneral, "Output Folder", Kind::Text, nullptr, &AppSettings::outputFolder},
    {kGeneral, "Load DVD On Starting", Kind::Flag, &AppSettings::loadDvdOnStarting, nullptr},
    {kGeneral, "Fast Forward to Main Movie", Kind::Flag, &AppSettings::fastForwardToMainMovie, nullptr},
    {kGeneral, "Disalbe Screen Saver", Kind::Flag, &AppSettings::disableScreenSaver, nullptr},
    {kGeneral, "Start Screen", Kind::Int, &AppSettings::startScreen, nullptr},
    {kGeneral, "Display_Output_Setting", Kind::Flag, &AppSettings::displayOutputSetting, nullptr},
    {kGeneral, "EncodrThreads", Kind::Int, &AppSettings::encoderThreads, nullptr},
    {kGeneral, "DisplayVideoWhenConvert", Kind::Int, &AppSettings::displayVideoWhenConvert, nullptr},
    {kGeneral, "Auto Update Last Check Date", Kind::Int64, nullptr, nullptr},
    {kOutput, "Profiles Index", Kind::Int, &AppSettings::profilesIndex, nullptr},
    {kOutput, "Split Option", Kind::Int, &AppSettings::splitOption, nullptr},
    {kOutput, "Video Aspect option", Kind::Int, &AppSettings::videoAspectOption, nullptr},
    {kId3, "Author", Kind::Text, nullptr, &AppSettings::author},
    {kId3, "Album", Kind::Text, nullptr, &AppSettings::album},
    {kId3, "Genre", Kind::Text, nullptr, &AppSettings::genre},
    {kId3, "GenreIndex", Kind::Int, &AppSettings::genreIndex, nullptr},
    {kId3, "Year", Kind::Text, nullptr, &AppSettings::year},
    {kId3, "Comment", Kind::Text, nullptr, &AppSettings::comment},
    {kId3, "Track", Kind::Text, nullptr, &AppSettings::track},
};

bool SameLocalDay(int64_t a, int64_t b) {
  std::time_t ta = static_cast<std::time_t>(a), tb = static_cast<std::time_t>(b);
  std::tm da{}, db{};
  if (!::localtime_r(&ta, &da) || !::localtime_r(&tb, &db)) return false;
  return da.tm_year == db.tm_year && da.tm_mon == db.tm_mon && da.tm_mday == db.tm_mday;
}

}  // namespace

AppSettings::AppSettings()
    : outputFolder(platform::DefaultOutputFolder()),
      album(kMakerDomain),
      comment(std::string("From ") + kMakerAddress),
      logFilePath(platform::SettingsFolder() + "Log/TarnLog.txt"),
      lastUpdateCheck(static_cast<int64_t>(std::time(nullptr))) {}

AppSettings& Settings() {
  static AppSettings settings;
  return settings;
}

std::string SettingsFilePath(const std::string& settingsFolder) { return settingsFolder + "Settings.ini"; }

void LoadSettings(AppSettings& s, ProfileCatalogue& catalogue, const std::string& programFolder,
                  const std::string& settingsFolder, int64_t now) {
  catalogue.Load(programFolder);
  s.logFilePath = settingsFolder + "Log/TarnLog.txt";

  IniFile ini;
  ini.Load(SettingsFilePath(settingsFolder));
  for (const StoredField& f : kFields) {
    const std::string value = ini.Get(f.section, f.key);
    const bool present = !value.empty();
    if (present) {
      switch (f.kind) {
        case Kind::Flag:
        case Kind::Int: s.*f.intField = platform::ParseInt32(value); break;
        case Kind::Text: s.*f.textField = value; break;
        case Kind::Int64: s.lastUpdateCheck = platform::ParseInt64(value); break;
      }
    }
    const std::string key = f.key;
    if (key == "EncodrThreads" && (s.encoderThreads < 1 || s.encoderThreads > 8)) s.encoderThreads = 2;
    if (key == "DisplayVideoWhenConvert" && !present) s.displayVideoWhenConvert = 2;
    if (key == "Auto Update Last Check Date" && present && SameLocalDay(now, s.lastUpdateCheck)) s.updateDue = 0;
    if (key == "Profiles Index") catalogue.SelectProfileById(s.profilesIndex);
  }
}

bool SaveSettings(AppSettings& s, const ProfileCatalogue& catalogue, const std::string& settingsFolder) {
  const std::string path = SettingsFilePath(settingsFolder);
  IniFile ini;
  ini.Load(path);
  const AVOutputProfile* current = catalogue.CurrentProfile();
  s.profilesIndex = current ? current->listIndex : 0;
  for (const StoredField& f : kFields) {
    std::string value;
    switch (f.kind) {
      case Kind::Flag: value = std::to_string((s.*f.intField) ? 1 : 0); break;
      case Kind::Int: value = std::to_string(s.*f.intField); break;
      case Kind::Text: value = s.*f.textField; break;
      case Kind::Int64: value = std::to_string(s.lastUpdateCheck); break;
    }
    ini.Set(f.section, f.key, value);
  }
  platform::MakeFolders(settingsFolder);
  return ini.Save(path);
}

}  // namespace tarn
