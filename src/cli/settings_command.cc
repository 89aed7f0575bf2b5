// "settings": the settings record after load; --save writes it back the way
// the program does at its end.
#include <cstdio>

#include "app/settings.h"
#include "cli/cli_context.h"
#include "cli/json_writer.h"

namespace tarn::cli {
namespace {

// One printed field, in the record's order; exactly one member is set, or
// neither for lastUpdateCheck.
struct Row {
  const char* name;
  int32_t AppSettings::*intField;
  std::string AppSettings::*textField;
};

const Row kRows[] = {
    {"shutdownComputer", &AppSettings::shutdownComputer, nullptr},
    {"outputFolder", nullptr, &AppSettings::outputFolder},
    {"loadDvdOnStarting", &AppSettings::loadDvdOnStarting, nullptr},
    {"fastForwardToMainMovie", &AppSettings::fastForwardToMainMovie, nullptr},
    {"disableScreenSaver", &AppSettings::disableScreenSaver, nullptr},
    {"startScreen", &AppSettings::startScreen, nullptr},
    {"displayOutputSetting", &AppSettings::displayOutputSetting, nullptr},
    {"profilesIndex", &AppSettings::profilesIndex, nullptr},
    {"splitOption", &AppSettings::splitOption, nullptr},
    {"videoAspectOption", &AppSettings::videoAspectOption, nullptr},
    {"outputName", nullptr, &AppSettings::outputName},
    {"outputPath", nullptr, &AppSettings::outputPath},
    {"author", nullptr, &AppSettings::author},
    {"album", nullptr, &AppSettings::album},
    {"genre", nullptr, &AppSettings::genre},
    {"genreIndex", &AppSettings::genreIndex, nullptr},
    {"year", nullptr, &AppSettings::year},
    {"comment", nullptr, &AppSettings::comment},
    {"track", nullptr, &AppSettings::track},
    {"encoderThreads", &AppSettings::encoderThreads, nullptr},
    {"displayVideoWhenConvert", &AppSettings::displayVideoWhenConvert, nullptr},
    {"logFilePath", nullptr, &AppSettings::logFilePath},
    {"updateMessage", nullptr, &AppSettings::updateMessage},
    {"updateDue", &AppSettings::updateDue, nullptr},
    {"lastUpdateCheck", nullptr, nullptr},
};

std::string ValueText(const AppSettings& s, const Row& r) {
  if (r.intField) return std::to_string(s.*r.intField);
  if (r.textField) return s.*r.textField;
  return std::to_string(s.lastUpdateCheck);
}

}  // namespace

int RunSettings(CliContext& ctx, bool save) {
  AppSettings& s = *ctx.settings;
  if (save && !SaveSettings(s, *ctx.catalogue, ctx.settingsFolder)) {
    std::fprintf(stderr, "tarn-orvane-cli: cannot write %s\n", SettingsFilePath(ctx.settingsFolder).c_str());
    return kExitFailure;
  }
  if (ctx.json) {
    JsonWriter w;
    w.BeginObject();
    for (const Row& r : kRows) {
      if (r.intField) w.Field(r.name, s.*r.intField);
      else if (r.textField) w.Field(r.name, s.*r.textField);
      else w.Field(r.name, s.lastUpdateCheck);
    }
    w.EndObject();
    std::printf("%s\n", w.Text().c_str());
  } else {
    for (const Row& r : kRows) std::printf("%-24s %s\n", r.name, ValueText(s, r).c_str());
    if (save) std::printf("\nSaved %s\n", SettingsFilePath(ctx.settingsFolder).c_str());
  }
  return kExitOk;
}

}  // namespace tarn::cli
