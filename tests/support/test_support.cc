#include "test_support.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/log.h"


namespace tarn::test {

TempDir::TempDir() {
  std::string base = std::string(TARN_TEST_BINARY_DIR_VALUE) + "tmp/";
  std::filesystem::create_directories(base);
  std::string pattern = base + "t-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExistsForTest(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string ProgramDir() { return TARN_TEST_PROGRAM_DIR_VALUE; }
std::string SourceDir() { return TARN_TEST_SOURCE_DIR_VALUE; }

LogCapture::LogCapture() {
  handle_ = AddLogObserver([this](int level, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.emplace_back(level, text);
  });
}

LogCapture::~LogCapture() { RemoveLogObserver(handle_); }

std::vector<std::pair<int, std::string>> LogCapture::records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

bool LogCapture::Contains(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& r : records_)
    if (r.second.find(text) != std::string::npos) return true;
  return false;
}

}  // namespace tarn::test
