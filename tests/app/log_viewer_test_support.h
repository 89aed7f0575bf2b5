#pragma once
// Helpers for the tests that run a real log viewer: the lines of its log
// file, and a look at who listens on its socket.
#include <sys/socket.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/log_socket.h"
#include "test_support.h"

namespace tarn::test {

struct LogLine {
  int level = -1;
  std::string text;
};

// The lines of Log/TarnLog.txt (or another file); every line must carry the
// viewer's "YYYY-MM-DD HH:MM:SS.mmm [level] " prefix, else level stays -1.
inline std::vector<LogLine> ReadLogLines(const std::string& path) {
  static const std::regex prefix(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(\d)\] )");
  std::vector<LogLine> lines;
  std::istringstream in(ReadFile(path));
  std::string raw;
  while (std::getline(in, raw)) {
    LogLine line;
    std::smatch m;
    if (std::regex_search(raw, m, prefix)) {
      line.level = std::stoi(m[1]);
      line.text = raw.substr(m[0].length());
    } else {
      line.text = raw;
    }
    lines.push_back(line);
  }
  return lines;
}

inline std::string LogFileOf(const std::string& settingsFolder) { return settingsFolder + "Log/TarnLog.txt"; }

// The process id of whoever listens on the viewer socket, or -1.
inline pid_t ListenerPid(const std::string& settingsFolder) {
  int fd = ConnectLogSocket(LogSocketAddressFor(settingsFolder));
  if (fd < 0) return -1;
  ucred cred{};
  socklen_t len = sizeof cred;
  pid_t pid = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 ? cred.pid : -1;
  ::close(fd);
  return pid;
}

inline bool ProcessGone(pid_t pid) { return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace tarn::test
