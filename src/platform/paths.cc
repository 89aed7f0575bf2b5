#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tarn::platform {
namespace {

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = EnvOrEmpty("HOME");
  return home.empty() ? std::string("/tmp") : home;
}

// Reads XDG_VIDEOS_DIR from ~/.config/user-dirs.dirs, as xdg-user-dir does.
std::string VideosFromUserDirs() {
  std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
  if (config.empty()) config = HomeFolder() + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_VIDEOS_DIR=";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    const std::string homeVar = "$HOME";
    if (value.rfind(homeVar, 0) == 0) value = HomeFolder() + value.substr(homeVar.size());
    // A videos folder equal to the home folder means "not set".
    if (value.empty() || value == HomeFolder() || value == HomeFolder() + "/") return {};
    return value;
  }
  return {};
}

}  // namespace

std::string WithTrailingSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string ProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  return WithTrailingSlash(exe.parent_path().string());
}

std::string SettingsFolder() {
  std::string home = EnvOrEmpty("TARN_ORVANE_HOME");
  if (!home.empty()) return WithTrailingSlash(home);
  std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
  if (config.empty()) config = HomeFolder() + "/.config";
  return WithTrailingSlash(config) + "tarn-orvane/";
}

std::string DefaultOutputFolder() {
  std::string videos = EnvOrEmpty("XDG_VIDEOS_DIR");
  if (videos.empty()) videos = VideosFromUserDirs();
  if (videos.empty()) videos = HomeFolder() + "/Videos";
  return WithTrailingSlash(videos) + "TarnOrvane/";
}

bool MakeFolders(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace tarn::platform
