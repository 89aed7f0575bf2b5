// TarnLog: the log viewer process. Started by the program with its settings
// folder as the argument; writes the records it receives to
// Log/TarnLog.txt there. TARN_LOG_FILE_LIMIT (bytes) overrides the 10 MB size
// at which the file is rotated.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/log_socket.h"
#include "log_file_writer.h"
#include "log_viewer_server.h"
#include "platform/paths.h"

namespace {

uint64_t FileLimit() {
  const char* text = std::getenv("TARN_LOG_FILE_LIMIT");
  if (!text || !*text) return tarn::viewer::kDefaultLogFileLimit;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 10);
  return (*end == '\0' && v > 0) ? v : tarn::viewer::kDefaultLogFileLimit;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarn;
  std::string folder = argc > 1 ? platform::WithTrailingSlash(argv[1]) : platform::SettingsFolder();
  viewer::InstallStopSignals();

  viewer::LogFileWriter file(folder + "Log/TarnLog.txt", FileLimit());
  if (!file.Open()) {
    std::fprintf(stderr, "TarnLog: cannot open %sLog/TarnLog.txt\n", folder.c_str());
    return 1;
  }
  viewer::LogViewerServer server;
  std::string error;
  if (!server.Listen(LogSocketAddressFor(folder), error)) {
    std::fprintf(stderr, "TarnLog: %s\n", error.c_str());
    return 1;
  }
  server.Run(file);
  return 0;
}
