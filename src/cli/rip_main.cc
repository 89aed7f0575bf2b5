#include "cli/rip_main.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "app/log.h"
#include "app/settings.h"
#include "cli/cli_context.h"
#include "cli/command_setup.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"

namespace tarn::cli {

const char* const kRipUsage =
    "  rip DISC [--title N]... [--profile ID] [--start T] [--end T] [--yes] [--json] [options]\n"
    "                              convert titles (default: the main movie); see \"rip --help\"\n";

namespace {

constexpr const char* kRipHelp =
    "Usage: tarn-orvane-cli [--home DIR] [--verbose] rip DISC [OPTIONS]\n"
    "\n"
    "Converts titles of a DVD (VIDEO_TS folder, ISO image or device) with the current or chosen\n"
    "profile, one after another. Existing files are never overwritten: a taken name gets \"_0\", \"_1\"...\n"
    "\n"
    "Titles and range:\n"
    "  --title N            convert title N (repeatable; default: the main movie)\n"
    "  --start T, --end T   convert only from T to T (seconds, or hh:mm:ss)\n"
    "  --audio K            audio stream K (as \"list\" shows it)\n"
    "  --subtitle K|none    subtitle stream K burnt into the picture, or none\n"
    "  --angle A            angle A (1, 2, ...)\n"
    "  --crop X,Y,W,H       crop rectangle in source pixels\n"
    "  --name M             movie title: outputs are named M[N].ext\n"
    "\n"
    "Profile (see \"profiles\"; the value texts as listed there):\n"
    "  --profile ID         the output profile\n"
    "  --video-codec, --video-size, --video-bitrate, --frame-rate, --tv-mode, --audio-codec,\n"
    "  --audio-bitrate, --sample-rate, --channels, --aspect-rate TEXT\n"
    "  --quick POS          quick setting by position\n"
    "  --volume PCT         audio volume in percent\n"
    "\n"
    "Output:\n"
    "  --output-folder DIR  where the files go (default: the settings' output folder)\n"
    "  --aspect keep|zoom   keep the picture aspect or zoom to full screen\n"
    "  --threads N          encoder threads (1..8)\n"
    "  --author, --album, --genre, --year, --comment, --track TEXT   metadata\n"
    "  --yes                go on when the free space looks too small\n"
    "  --json               print the results as one JSON document\n"
    "\n"
    "Prints \"Completed PATH\" or \"Failed TITLE REASON\" per title; Ctrl-C stops (the partial file is\n"
    "deleted). Exit status: 0 all completed, 1 a title failed, 2 usage error or no valid disc.\n";

bool IsCommonOption(const std::string& arg) { return arg == "--verbose" || arg == "--json"; }

}  // namespace

bool IsRipCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--home") {
      ++i;
      continue;
    }
    if (IsCommonOption(arg)) continue;
    return arg == "rip";
  }
  return false;
}

int RipMain(int argc, char** argv) {
  CliContext ctx;
  ctx.programFolder = platform::ProgramFolder();
  std::string home;
  bool verbose = false;
  bool commandSeen = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--home") {
      if (++i >= argc) return UsageError("--home needs a folder");
      home = argv[i];
    } else if (arg == "--verbose") {
      verbose = true;
    } else if (arg == "--json") {
      ctx.json = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kRipHelp, stdout);
      return kExitOk;
    } else if (arg == "rip" && !commandSeen) {
      commandSeen = true;
    } else {
      commandSeen = true;
      ctx.args.push_back(arg);
      // An option's value is taken as it stands, even when it starts with "-".
      if (arg.size() > 2 && arg.rfind("--", 0) == 0 && arg != "--yes" && i + 1 < argc) ctx.args.push_back(argv[++i]);
    }
  }

  LoadCommandSettings(ctx, home, verbose, /*silentSound=*/true);
  return RunRip(ctx);
}

}  // namespace tarn::cli
