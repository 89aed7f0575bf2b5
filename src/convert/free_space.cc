#include "convert/free_space.h"

#include <sys/statvfs.h>

#include <cstdio>

#include "app/log.h"

namespace tarn {

int64_t FreeMegabytes(const std::string& path) {
  std::string probe = path.empty() ? std::string(".") : path;
  for (;;) {
    struct statvfs vfs {};
    if (::statvfs(probe.c_str(), &vfs) == 0)
      return static_cast<int64_t>(static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize / 1048576ULL);
    // Not there yet: try the folder above.
    while (probe.size() > 1 && probe.back() == '/') probe.pop_back();
    const size_t slash = probe.rfind('/');
    if (slash == std::string::npos) {
      if (probe == ".") return -1;
      probe = ".";
    } else if (slash == 0) {
      if (probe == "/") return -1;
      probe = "/";
    } else {
      probe.resize(slash);
    }
  }
}

int CheckFreeSpaceWith(int64_t freeMB, double estimatedMB, const std::string& path, QuestionView& view) {
  // Whole megabytes; an absurd estimate is held at the largest number shown.
  const int estimate = !(estimatedMB > 0) ? 0 : estimatedMB >= 2147483647.0 ? 2147483647 : static_cast<int>(estimatedMB);
  Log(kLogInfo, "check free space destinatePath:%s, estimateSize:%d, free space:%d\n", path.c_str(), estimate,
      static_cast<int>(freeMB));
  if (freeMB >= estimate) return 0;
  char text[128];
  std::snprintf(text, sizeof text, "The output folder have not enough free space %dMb, continue?", estimate);
  return view.AskYesNo(text, "question") ? 0 : -1;
}

int CheckFreeSpace(double estimatedMB, const std::string& path, QuestionView& view) {
  return CheckFreeSpaceWith(FreeMegabytes(path), estimatedMB, path, view);
}

}  // namespace tarn
