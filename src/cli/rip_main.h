#pragma once
// Entry of the "rip" command line, which takes the batch's own options
// besides the front end's common ones (--home, --verbose, --json).
namespace tarn::cli {

struct CliContext;

// True when the command is "rip", or when the first argument that is not a
// common option names an existing disc (a folder, image or device), which
// is the short form "tarn-orvane-cli DISC [options]".
bool IsRipCommandLine(int argc, char** argv);
int RipMain(int argc, char** argv);
// The command itself, with the settings and catalogue loaded.
int RunRip(CliContext& ctx);

// The help lines of the command.
extern const char* const kRipUsage;

}  // namespace tarn::cli
