#pragma once
// Entry of the "rip" command line, which takes the batch's own options
// besides the front end's common ones (--home, --verbose, --json).
namespace tarn::cli {

struct CliContext;

// True when the first argument that is not a common option (--home DIR,
// --verbose, --json) is the command "rip".
bool IsRipCommandLine(int argc, char** argv);
int RipMain(int argc, char** argv);
// The command itself, with the settings and catalogue loaded.
int RunRip(CliContext& ctx);

// The help lines of the command.
extern const char* const kRipUsage;

}  // namespace tarn::cli
