// tarn-orvane-cli: the converter's core without a window.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/crash_report.h"
#include "app/link_info.h"
#include "app/log.h"
#include "app/settings.h"
#include "cli/cli_context.h"
#include "cli/command_setup.h"
#include "cli/rip_main.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace tarn::cli {
namespace {

constexpr const char* kUsage =
    "Usage: tarn-orvane-cli [--home DIR] [--verbose] COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  profiles [--json]           list the output profile catalogue\n"
    "  settings [--json] [--save]  show the settings; --save writes Settings.ini back\n"
    "  list DISC [--json]          list the titles of a DVD (folder, ISO image or device)\n"
    "  seek DISC --title N [--json]\n"
    "                              bring playback to title N as the title ripper does\n"
    "  play DISC [--title N] [--seconds S] [--clock 0|1] [--json]\n"
    "                              play S seconds of disc time and count what was decoded\n"
    "%s"
    "\n"
    "Options:\n"
    "  --home DIR   settings folder (default: $TARN_ORVANE_HOME, else ~/.config/tarn-orvane)\n"
    "  --verbose    show the program's log records on stderr\n"
    "  --help       show this help\n"
    "  --version    show the version\n";

}  // namespace

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tarn-orvane-cli: %s\n", message.c_str());
  return kExitUsage;
}

int Main(int argc, char** argv) {
  if (IsRipCommandLine(argc, argv)) return RipMain(argc, argv);
  CliContext ctx;
  ctx.programFolder = platform::ProgramFolder();
  std::string command;
  std::string home;
  bool save = false;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf(kUsage, kRipUsage);
      return kExitOk;
    } else if (arg == "--version") {
      std::printf("%s\n", ReadLinkInfo(ctx.programFolder, "Version").c_str());
      return kExitOk;
    } else if (arg == "--home") {
      if (++i >= argc) return UsageError("--home needs a folder");
      home = argv[i];
    } else if (arg == "--json") {
      ctx.json = true;
    } else if (arg == "--save") {
      save = true;
    } else if (arg == "--title" || arg == "--seconds" || arg == "--clock") {
      if (++i >= argc) return UsageError(arg + " needs a value");
      ctx.values[arg.substr(2)] = argv[i];
    } else if (arg == "--verbose") {
      verbose = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg + " (see --help)");
    } else if (command.empty()) {
      command = arg;
    } else {
      ctx.args.push_back(arg);
    }
  }
  if (command.empty()) return UsageError("no command given (see --help)");
  if (command != "profiles" && command != "settings" && command != "list" && command != "seek" &&
      command != "play")
    return UsageError("unknown command " + command + " (see --help)");
  if (save && command != "settings") return UsageError("--save belongs to the settings command");
  if (!ctx.values.empty() && command != "seek" && command != "play")
    return UsageError("--title, --seconds and --clock belong to the seek and play commands");

  LoadCommandSettings(ctx, home, verbose, /*silentSound=*/command != "play");

  if (command == "profiles") return ctx.args.empty() ? RunProfiles(ctx) : UsageError("profiles takes no argument");
  if (command == "settings") return ctx.args.empty() ? RunSettings(ctx, save) : UsageError("settings takes no argument");
  if (command == "seek") return RunSeek(ctx);
  if (command == "play") return RunPlay(ctx);
  return RunList(ctx);
}

}  // namespace tarn::cli

int main(int argc, char** argv) {
  // A crash leaves its report on stderr (no log viewer runs here).
  tarn::InstallCrashFilter(tarn::platform::ProgramFolder());
  return tarn::cli::Main(argc, argv);
}
