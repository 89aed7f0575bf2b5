#pragma once
// What every command does before its own work: the settings folder, the
// log records on stderr with --verbose, the media libraries kept quiet, and
// the settings and profile catalogue loaded into the context.
#include <string>

#include "cli/cli_context.h"

namespace tarn::cli {

// `home` overrides the settings folder when not empty. Conversions and
// seeks play no sound, so with `silentSound` they use SDL's silent driver
// unless the user chose one.
void LoadCommandSettings(CliContext& ctx, const std::string& home, bool verbose, bool silentSound);

}  // namespace tarn::cli
