#pragma once
// The viewer's log file: one line per record, "YYYY-MM-DD HH:MM:SS.mmm
// [level] text", flushed at once. A text that spans several lines gives one
// file line per text line, each with the record's time stamp and level, so
// every line of the file can be read on its own. When a record would take
// the file past its size limit, the file is renamed to "<name>.1" (replacing
// the previous old copy) and a new one is begun.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace tarn::viewer {

inline constexpr uint64_t kDefaultLogFileLimit = 10ull * 1024 * 1024;

// The file lines for one record, each ending in "\n". One trailing line break
// of the text is dropped.
std::string FormatLogLines(const timespec& when, int level, const std::string& text);

class LogFileWriter {
 public:
  LogFileWriter(std::string path, uint64_t limitBytes);
  ~LogFileWriter();
  LogFileWriter(const LogFileWriter&) = delete;
  LogFileWriter& operator=(const LogFileWriter&) = delete;

  // Creates the folder and opens the file for appending.
  bool Open();
  bool Write(int level, const std::string& text);

 private:
  void Rotate();

  std::string path_;
  uint64_t limit_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
};

}  // namespace tarn::viewer
