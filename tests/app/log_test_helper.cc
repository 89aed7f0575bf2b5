// A child program for the log viewer and crash tests.
//   log_test_helper run <how> <programFolder> <settingsFolder>
//     Plays the controller: installs the crash filter, starts the log viewer,
//     logs one line and then ends as <how> says: "normal" stops the viewer
//     with "Abort Normal" and saves the settings; every other <how> is a
//     crash (null-write, divide-by-zero, stack-overflow, illegal-instruction,
//     breakpoint, bus-error), after which the settings must not be saved.
//   log_test_helper silent-viewer <settingsFolder>
//     Listens on the viewer's socket and never answers.
//   log_test_helper mute-viewer <settingsFolder>
//     Answers "ready" on every connection, then takes records without
//     answering them.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/crash_report.h"
#include "app/log.h"
#include "app/log_client.h"
#include "app/log_record.h"
#include "app/log_socket.h"
#include "app/settings.h"
#include "profiles/profile_catalogue.h"

namespace {

volatile int g_zero = 0;
volatile bool g_forever = true;

__attribute__((noinline)) void CrashByNullWrite() {
  volatile int* volatile target = nullptr;
  *target = 1;
}

__attribute__((noinline)) int CrashByDivision(int numerator) { return numerator / g_zero; }

__attribute__((noinline)) int CrashByRecursion(int depth) {
  volatile char pad[512];
  pad[0] = static_cast<char>(depth);
  if (g_forever) return CrashByRecursion(depth + 1) + pad[0];
  return pad[0];
}

__attribute__((noinline)) void CrashByIllegalInstruction() { __builtin_trap(); }

__attribute__((noinline)) void CrashByBreakpoint() { asm volatile("int3"); }

// Reads past the end of a mapped empty file.
__attribute__((noinline)) int CrashByBusError(const std::string& folder) {
  int fd = ::open((folder + "empty.bin").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  void* p = ::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return 1;
  return *static_cast<volatile char*>(p);
}

int Run(const std::string& how, const std::string& programFolder, const std::string& settingsFolder) {
  rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  tarn::InstallCrashFilter(programFolder);
  tarn::ProfileCatalogue catalogue;
  tarn::LoadSettings(tarn::Settings(), catalogue, programFolder, settingsFolder, 0);
  if (!tarn::StartLogViewer(settingsFolder, programFolder)) return 2;
  tarn::Log(0, "helper is up\n");

  if (how == "null-write") CrashByNullWrite();
  else if (how == "divide-by-zero") std::printf("%d\n", CrashByDivision(7));
  else if (how == "stack-overflow") std::printf("%d\n", CrashByRecursion(0));
  else if (how == "illegal-instruction") CrashByIllegalInstruction();
  else if (how == "breakpoint") CrashByBreakpoint();
  else if (how == "bus-error") std::printf("%d\n", CrashByBusError(settingsFolder));

  // Normal end, in the controller's order: stop the viewer, save the settings.
  tarn::StopLogViewer(tarn::kLogAbortNormal);
  tarn::SaveSettings(tarn::Settings(), catalogue, settingsFolder);
  return how == "normal" ? 0 : 3;
}

int ServeWithoutAnswers(const std::string& settingsFolder, bool sayReady) {
  tarn::LogSocketAddress address = tarn::LogSocketAddressFor(settingsFolder);
  if (!address.abstractName) ::unlink(address.addr.sun_path);
  int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&address.addr), address.length) != 0 ||
      ::listen(listener, 8) != 0)
    return 1;
  std::vector<int> clients;  // kept open so the callers wait for answers
  for (;;) {
    int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    if (sayReady) tarn::WriteLogReply(fd, tarn::kLogReplyReady, 1000);
    clients.push_back(fd);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() == 4 && a[0] == "run") return Run(a[1], a[2], a[3]);
  if (a.size() == 2 && a[0] == "silent-viewer") return ServeWithoutAnswers(a[1], false);
  if (a.size() == 2 && a[0] == "mute-viewer") return ServeWithoutAnswers(a[1], true);
  std::fprintf(stderr, "usage: log_test_helper run <how> <programFolder> <settingsFolder>\n"
                       "       log_test_helper silent-viewer|mute-viewer <settingsFolder>\n");
  return 64;
}
