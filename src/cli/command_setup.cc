#include "cli/command_setup.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

extern "C" {
#include <libavutil/log.h>
}

#include "app/log.h"
#include "app/settings.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace tarn::cli {

namespace {

// The engine and the encoder run in this process, so FFmpeg's process-wide
// log level (the encoders' statistics) and SDL's sound driver (ALSA's
// complaints on a machine without a sound card) are the front end's to set.
void QuietMediaLibraries(bool verbose, bool silentSound) {
  av_log_set_level(verbose ? AV_LOG_INFO : AV_LOG_ERROR);
  if (silentSound) ::setenv("SDL_AUDIODRIVER", "dummy", 0);
}

}  // namespace

void LoadCommandSettings(CliContext& ctx, const std::string& home, bool verbose, bool silentSound) {
  if (!home.empty()) ::setenv("TARN_ORVANE_HOME", home.c_str(), 1);
  ctx.settingsFolder = platform::SettingsFolder();
  if (verbose) {
    AddLogObserver([](int level, const std::string& text) {
      std::fprintf(stderr, "[%d] %s%s", level, text.c_str(), (!text.empty() && text.back() == '\n') ? "" : "\n");
    });
  }
  QuietMediaLibraries(verbose, silentSound);

  AppSettings& settings = Settings();
  settings = AppSettings();
  ProfileCatalogue& catalogue = Catalogue();
  LoadSettings(settings, catalogue, ctx.programFolder, ctx.settingsFolder, static_cast<int64_t>(std::time(nullptr)));
  if (!catalogue.LoadProblem().empty())
    std::fprintf(stderr, "tarn-orvane-cli: %s\n", catalogue.LoadProblem().c_str());
  ctx.settings = &settings;
  ctx.catalogue = &catalogue;
}

}  // namespace tarn::cli
