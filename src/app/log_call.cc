// The log call: formats one record per call into a buffer of its own (so
// concurrent callers never share a record), cuts it to the record's 5,119
// UTF-16 units, shows it to the observers and hands it to the log viewer.
#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "app/log.h"
#include "app/log_client.h"
#include "app/log_record.h"

namespace tarn {
namespace {

// Observers run under this lock, so RemoveLogObserver() returns only when no
// call of that observer is running. An observer must not log itself.
std::mutex& ObserverMutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}
std::map<int, LogObserver>& Observers() {
  static auto* observers = new std::map<int, LogObserver>;
  return *observers;
}
int g_nextObserver = 1;

}  // namespace

int LogV(int level, const char* format, va_list args) {
  char buffer[kLogFormatBytes];
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  size_t length = n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof buffer - 1);
  std::string text(buffer, Utf8PrefixForUnits(std::string_view(buffer, length), kLogTextMaxUnits));
  {
    std::lock_guard<std::mutex> lock(ObserverMutex());
    for (auto& [id, observer] : Observers()) observer(level, text);
  }
  return SendToLogViewer(level, text);
}

int Log(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = LogV(level, format, args);
  va_end(args);
  return r;
}

int AddLogObserver(LogObserver observer) {
  std::lock_guard<std::mutex> lock(ObserverMutex());
  Observers()[g_nextObserver] = std::move(observer);
  return g_nextObserver++;
}

void RemoveLogObserver(int handle) {
  std::lock_guard<std::mutex> lock(ObserverMutex());
  Observers().erase(handle);
}

}  // namespace tarn
