#pragma once
// What every command of the command-line front end works with: the folders,
// the loaded settings and profile catalogue, and the output mode.
#include <map>
#include <string>
#include <vector>

namespace tarn {
struct AppSettings;
class ProfileCatalogue;
}  // namespace tarn

namespace tarn::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CliContext {
  std::string programFolder;   // ends in "/"
  std::string settingsFolder;  // ends in "/"
  bool json = false;
  std::vector<std::string> args;  // the command's own arguments, options removed
  std::map<std::string, std::string> values;  // options with a value: "title" for --title N
  AppSettings* settings = nullptr;
  ProfileCatalogue* catalogue = nullptr;
};

// Prints one line on stderr and returns kExitUsage.
int UsageError(const std::string& message);

int RunProfiles(CliContext& ctx);
int RunSettings(CliContext& ctx, bool save);
int RunList(CliContext& ctx);
int RunSeek(CliContext& ctx);
int RunPlay(CliContext& ctx);

}  // namespace tarn::cli
