#include "log_file_writer.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/paths.h"

namespace tarn::viewer {

std::string FormatLogLines(const timespec& when, int level, const std::string& textIn) {
  std::string text = textIn;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();

  tm local{};
  time_t seconds = when.tv_sec;
  ::localtime_r(&seconds, &local);
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "%04d-%02d-%02d %02d:%02d:%02d.%03ld [%d] ", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<long>(when.tv_nsec / 1000000), level);

  std::string out;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out += prefix;
    out += line;
    out += '\n';
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

LogFileWriter::LogFileWriter(std::string path, uint64_t limitBytes)
    : path_(std::move(path)), limit_(limitBytes) {}

LogFileWriter::~LogFileWriter() {
  if (file_) std::fclose(file_);
}

bool LogFileWriter::Open() {
  std::string folder = path_.substr(0, path_.rfind('/') + 1);
  if (!folder.empty() && !platform::MakeFolders(folder)) return false;
  file_ = std::fopen(path_.c_str(), "ab");
  if (!file_) return false;
  struct stat st {};
  size_ = ::fstat(::fileno(file_), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  return true;
}

void LogFileWriter::Rotate() {
  std::fclose(file_);
  file_ = nullptr;
  std::rename(path_.c_str(), (path_ + ".1").c_str());
  Open();
}

bool LogFileWriter::Write(int level, const std::string& text) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::string lines = FormatLogLines(now, level, text);
  if (file_ && size_ > 0 && size_ + lines.size() > limit_) Rotate();
  if (!file_) return false;
  bool ok = std::fwrite(lines.data(), 1, lines.size(), file_) == lines.size();
  ok = std::fflush(file_) == 0 && ok;
  size_ += lines.size();
  return ok;
}

}  // namespace tarn::viewer
