#pragma once
// Small helpers shared by the tests: a scratch folder that is removed
// afterwards, file helpers, and a capture of the log records.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tarn::test {

// A fresh folder under the build tree's tmp/, removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder, ending in "/".
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
bool FileExistsForTest(const std::string& path);
std::string ReadFile(const std::string& path);

// The build's program folder (data files and component libraries), ending in "/".
std::string ProgramDir();
std::string SourceDir();

// Collects every log record made while it lives.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::vector<std::pair<int, std::string>> records() const;
  bool Contains(const std::string& text) const;

 private:
  int handle_;
  mutable std::mutex mutex_;
  std::vector<std::pair<int, std::string>> records_;
};

}  // namespace tarn::test
