// The process-wide crash handlers. They run on an alternate signal stack (a
// stack overflow leaves no room on the thread's own stack), write the report
// through a connection of their own to the log viewer and to stderr, stop the
// viewer and let the signal's default action end the process. Nothing else
// runs afterwards: no exit handlers, no settings save.
//
// Only async-signal-safe calls are made, with pragmatic exceptions that
// crash reporters commonly accept: snprintf for the lines, dladdr and the
// unwinder (they take the loader's lock, so a crash inside dlopen can hang
// the report), and the demangler (may allocate for long names).
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "app/crash_internal.h"
#include "app/crash_report.h"
#include "app/link_info.h"
#include "app/log.h"
#include "app/log_client.h"
#include "app/log_viewer_link.h"

namespace tarn {
namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGFPE, SIGILL, SIGBUS, SIGTRAP};
constexpr size_t kAltStackSize = 256 * 1024;

char g_versionLine[1024];
size_t g_versionLength = 0;
char g_missingLinkText[1200];
size_t g_missingLinkLength = 0;
std::atomic<int> g_reporting{0};
int g_viewerFd = -1;

struct AltStack {
  void* memory = nullptr;
  ~AltStack() {
    if (!memory) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(&off, nullptr);
    ::munmap(memory, kAltStackSize);
  }
};
thread_local AltStack t_altStack;

void WriteStderr(const char* text, size_t length) {
  while (length > 0) {
    ssize_t n = ::write(STDERR_FILENO, text, length);
    if (n <= 0) return;
    text += n;
    length -= static_cast<size_t>(n);
  }
}

void ReportLine(const char* text, size_t length) {
  WriteStderr(text, length);
  if (g_viewerFd >= 0 && !crash_link::Send(g_viewerFd, kLogInfo, text, length)) {
    ::close(g_viewerFd);
    g_viewerFd = -1;
  }
}

void OnCrash(int signal, siginfo_t* info, void* context) {
  if (g_reporting.exchange(1) != 0) {
    // Another thread is reporting; it ends the process.
    for (;;) ::pause();
  }
  if (g_missingLinkLength) WriteStderr(g_missingLinkText, g_missingLinkLength);
  g_viewerFd = crash_link::Connect();
  ReportLine(g_versionLine, g_versionLength);
  crash::WriteReport(signal, info, static_cast<const ucontext_t*>(context), ReportLine);
  crash_link::StopViewer(g_viewerFd, kLogAbortByUnknownError, std::strlen(kLogAbortByUnknownError));
  g_viewerFd = -1;
  // The signal is blocked while the handler runs; it arrives with its default
  // action as soon as the handler returns.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void CopyLine(char* out, size_t size, size_t& length, const std::string& text) {
  length = text.size() < size ? text.size() : size - 1;
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
}

}  // namespace

void InstallCrashStackForThisThread() {
  if (t_altStack.memory) return;
  void* memory = ::mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kAltStackSize;
  if (::sigaltstack(&stack, nullptr) != 0) {
    ::munmap(memory, kAltStackSize);
    return;
  }
  t_altStack.memory = memory;
}

void InstallCrashFilter(const std::string& programFolder) {
  auto title = TryReadLinkInfo(programFolder, "Title");
  CopyLine(g_versionLine, sizeof g_versionLine, g_versionLength, "Current Version: " + title.value_or("") + "\n");
  if (title) g_missingLinkLength = 0;
  else CopyLine(g_missingLinkText, sizeof g_missingLinkText, g_missingLinkLength, LinkMissingText(programFolder) + "\n");

  crash::PrepareLocating();
  crash::PrepareStackWalk();
  InstallCrashStackForThisThread();

  struct sigaction action {};
  action.sa_sigaction = OnCrash;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int s : kCrashSignals) sigaddset(&action.sa_mask, s);  // a fault inside the report ends the process
  for (int s : kCrashSignals) ::sigaction(s, &action, nullptr);
}

}  // namespace tarn
