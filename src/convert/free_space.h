#pragma once
// The free-space question asked before a batch or a recording starts.
#include <cstdint>
#include <string>

namespace tarn {

// Asks the user a yes/no question (a question icon, Yes and No buttons).
class QuestionView {
 public:
  virtual ~QuestionView() = default;
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};

// Megabytes available to the caller on the volume of `path`: statvfs of the
// path, or of its nearest existing parent when it does not exist yet. -1
// when no part of the path can be queried.
int64_t FreeMegabytes(const std::string& path);

// 0 to go on, -1 when the user declined. Compares the free space of `path`
// with the estimate (truncated to whole megabytes); when it is short, asks
// "The output folder have not enough free space <estimate>Mb, continue?".
int CheckFreeSpace(double estimatedMB, const std::string& path, QuestionView& view);
// The same decision with a known amount of free space.
int CheckFreeSpaceWith(int64_t freeMB, double estimatedMB, const std::string& path, QuestionView& view);

}  // namespace tarn
