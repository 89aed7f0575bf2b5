#include "app/link_info.h"

#include <cstdio>

#include "app/log_message_box.h"
#include "app/log_record.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

namespace tarn {

namespace {
constexpr size_t kLinkValueMaxUnits = 255;
}

std::string LinkIniPath(const std::string& programFolder) {
  return platform::WithTrailingSlash(programFolder) + kLinkIniFileName;
}

std::optional<std::string> TryReadLinkInfo(const std::string& programFolder, const std::string& key) {
  platform::IniFile ini;
  if (!ini.Load(LinkIniPath(programFolder))) return std::nullopt;
  std::string value = ini.Get(kLinkSection, key);
  value.resize(Utf8PrefixForUnits(value, kLinkValueMaxUnits));
  return value;
}

std::string LinkMissingText(const std::string& programFolder) {
  std::string path = LinkIniPath(programFolder);
  std::string text(path.size() + 64, '\0');
  int n = std::snprintf(text.data(), text.size(), kLinkMissingMessage, path.c_str());
  text.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return text;
}

std::string ReadLinkInfo(const std::string& programFolder, const std::string& key) {
  if (auto value = TryReadLinkInfo(programFolder, key)) return *value;
  ShowMessageBox(LinkMissingText(programFolder));
  return {};
}

}  // namespace tarn
