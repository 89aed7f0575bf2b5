#pragma once
// The one process-wide record of preferences, output folder, recorder names,
// metadata texts and update state. Loaded from Settings.ini once at start
// and written back once at the end.
#include <cstdint>
#include <string>

namespace tarn {

class ProfileCatalogue;

struct AppSettings {
  AppSettings();  // the initial values; lastUpdateCheck = now

  int32_t shutdownComputer = 0;
  std::string outputFolder;  // ends in "/"
  int32_t loadDvdOnStarting = 0;
  int32_t fastForwardToMainMovie = 1;
  int32_t disableScreenSaver = 1;
  int32_t startScreen = 0;
  int32_t displayOutputSetting = 1;
  int32_t profilesIndex = 0;
  int32_t splitOption = 0;
  int32_t videoAspectOption = 0;
  std::string outputName;
  std::string outputPath;
  std::string author = "Tarn Software";
  std::string album;
  std::string genre = "Pop";
  int32_t genreIndex = 13;
  std::string year = "2009";
  std::string comment;
  std::string track = "8";
  int32_t encoderThreads = 2;
  int32_t displayVideoWhenConvert = 0;
  std::string logFilePath;
  std::string updateMessage;
  int32_t updateDue = 1;
  int64_t lastUpdateCheck = 0;
};

// The maker's web domain and address used for the default metadata.
inline constexpr const char* kMakerDomain = "www.tarnsoftware.example";
inline constexpr const char* kMakerAddress = "http://www.tarnsoftware.example";

// The process-wide record.
AppSettings& Settings();

// Path of Settings.ini in the settings folder.
std::string SettingsFilePath(const std::string& settingsFolder);

// Loads the profile catalogue from `programFolder`, then Settings.ini from
// `settingsFolder` into `settings`, selecting the saved profile. A missing or
// damaged file leaves the initial values where nothing can be read.
// `now` is the current time in seconds since 1970 (for the update date rule).
void LoadSettings(AppSettings& settings, ProfileCatalogue& catalogue, const std::string& programFolder,
                  const std::string& settingsFolder, int64_t now);

// Writes Settings.ini, keeping keys and lines it does not own. False when the
// file cannot be written.
bool SaveSettings(AppSettings& settings, const ProfileCatalogue& catalogue, const std::string& settingsFolder);

}  // namespace tarn
