#include "platform/optical_drives.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/paths.h"
#include "platform/volume_label.h"

namespace tarn::platform {
namespace {

// The table is a few hundred bytes; anything far larger is not it.
constexpr size_t kMaxInfoBytes = 64 * 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "sr2" before "sr10": compare the text before the trailing number, then the
// number by value (leading zeros ignored), then the whole text.
bool NaturalLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    size_t digits = s.size();
    while (digits > 0 && IsDigit(s[digits - 1])) --digits;
    std::string number = s.substr(digits);
    number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
    return std::make_pair(s.substr(0, digits), number);
  };
  auto [prefixA, numberA] = split(a);
  auto [prefixB, numberB] = split(b);
  if (prefixA != prefixB) return prefixA < prefixB;
  if (numberA.size() != numberB.size()) return numberA.size() < numberB.size();
  if (numberA != numberB) return numberA < numberB;
  return a < b;
}

bool IsDeviceName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

std::vector<std::string> ParseCdromInfoDriveNames(const std::string& infoText) {
  std::vector<std::string> names;
  std::istringstream lines(infoText);
  std::string line;
  static const std::string kKey = "drive name:";
  while (std::getline(lines, line)) {
    if (line.compare(0, kKey.size(), kKey) != 0) continue;
    std::istringstream fields(line.substr(kKey.size()));
    std::string name;
    while (fields >> name) {
      if (IsDeviceName(name)) names.push_back(name);
    }
    break;
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::vector<OpticalDrive> ListOpticalDrives(const DriveSystem& sys) {
  std::ifstream in(sys.cdromInfoPath, std::ios::binary);
  if (!in) return {};
  // /proc files report no size, so read up to the limit.
  std::string text(kMaxInfoBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));

  std::vector<OpticalDrive> drives;
  std::string folder = WithTrailingSlash(sys.deviceFolder);
  for (const std::string& name : ParseCdromInfoDriveNames(text)) {
    std::string node = folder + name;
    struct stat st;
    if (::stat(node.c_str(), &st) != 0) continue;
    drives.push_back({node, ReadVolumeLabel(node)});
  }
  return drives;
}

}  // namespace tarn::platform
