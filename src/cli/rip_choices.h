#pragma once
// Applies the rip command's choices: the profile and its values, and the
// job options on the checked rows. Each returns "" or the usage problem.
#include <string>

#include "cli/rip_options.h"

namespace tarn {
struct AppSettings;
struct AVOutputProfile;
class ProfileCatalogue;
class SourceRows;
}  // namespace tarn

namespace tarn::cli {

// Selects --profile and applies --quick, the value texts and --volume to the
// current profile (in memory only).
std::string ApplyProfileOptions(const RipOptions& options, ProfileCatalogue& catalogue);

// The output folder, picture aspect, encoder threads and metadata (in
// memory only: nothing is saved).
void ApplySettingsOptions(const RipOptions& options, AppSettings& settings);

// Checks the chosen titles (or keeps the catalogue's choice) and applies the
// streams, range, crop and movie title to every checked row, naming their
// outputs anew and estimating their sizes.
std::string ApplyJobOptions(const RipOptions& options, SourceRows& rows, const AppSettings& settings,
                            const AVOutputProfile& profile);

}  // namespace tarn::cli
