#include "app/log_message_box.h"

#include <cstdio>
#include <mutex>

namespace tarn {
namespace {
std::mutex g_mutex;
MessageBoxHook g_hook;
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_hook = std::move(hook);
}

void ShowMessageBox(const std::string& text) {
  MessageBoxHook hook;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    hook = g_hook;
  }
  if (hook) {
    hook(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }
}

}  // namespace tarn
