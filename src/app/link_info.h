#pragma once
// The product information file "link.ini" in the program folder, section
// "Link": "Title" (product title with version), "Version", "Home page" and
// "Support".
#include <optional>
#include <string>

namespace tarn {

inline constexpr const char* kLinkIniFileName = "link.ini";
inline constexpr const char* kLinkSection = "Link";
inline constexpr const char* kLinkMissingMessage = "Cannot find ini file: %s!";

std::string LinkIniPath(const std::string& programFolder);

// The value of `key`, at most 255 characters (the 256-unit buffer of the
// original reader, terminator included). When the file is missing,
// "Cannot find ini file: <full path>!" goes to ShowMessageBox() and the value
// is empty.
std::string ReadLinkInfo(const std::string& programFolder, const std::string& key);

// As above without the message: nothing when the file is missing.
std::optional<std::string> TryReadLinkInfo(const std::string& programFolder, const std::string& key);

// "Cannot find ini file: <full path>!" for the program folder.
std::string LinkMissingText(const std::string& programFolder);

}  // namespace tarn
