// Interim log call: formats the record and hands it to the observers. The
// viewer connection replaces this file.
#include <cstdio>
#include <map>
#include <mutex>

#include "app/log.h"

namespace tarn {
namespace {
std::mutex g_mutex;
std::map<int, LogObserver> g_observers;
int g_next = 1;
}  // namespace

int LogV(int level, const char* format, va_list args) {
  char text[5120 * 3] = {};
  std::vsnprintf(text, sizeof text, format, args);
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto& [id, fn] : g_observers) fn(level, text);
  return 0;
}

int Log(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = LogV(level, format, args);
  va_end(args);
  return r;
}

int AddLogObserver(LogObserver observer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_observers[g_next] = std::move(observer);
  return g_next++;
}

void RemoveLogObserver(int handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_observers.erase(handle);
}

}  // namespace tarn
