#pragma once
// Reading the profile files and the category list into catalogue records.
#include <memory>
#include <string>
#include <vector>

#include "profiles/profile_catalogue.h"

namespace tarn {

// Reads every "*.xml" (any case) in the subfolders of `profileFolder`
// (ending in "/"), in the order the file system lists them, appending each
// profile that reads without failure. The first profile file that fails
// ends the reading; the profiles already read stay.
void ReadProfileFiles(const std::string& profileFolder, std::vector<std::unique_ptr<AVOutputProfile>>& profiles);

// Reads one profile file; false on any failure (the reason is logged).
bool ReadProfileFile(const std::string& path, AVOutputProfile& profile);

// Reads "ProfileConfig.xml"; false when the file is missing or unusable or
// has no "profile_config" root.
bool ReadProfileConfig(const std::string& path, std::vector<std::unique_ptr<AVOutputProfileTypeData>>& categories);

}  // namespace tarn
