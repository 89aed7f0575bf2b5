#include "app/log_client.h"

#include <errno.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "app/log.h"
#include "app/log_message_box.h"
#include "app/log_record.h"
#include "app/log_socket.h"
#include "app/log_viewer_link.h"
#include "platform/child_process.h"
#include "platform/paths.h"

namespace tarn {
namespace {

// The one viewer of the process. `mutex` is held for a whole record
// exchange, so records of concurrent callers never interleave on the socket.
struct Viewer {
  std::mutex mutex;
  int fd = -1;
  std::unique_ptr<platform::ChildProcess> child;
};

Viewer& TheViewer() {
  static Viewer* viewer = new Viewer;  // never destroyed: logging works during exit
  return *viewer;
}

// A copy of the address and the process id for the crash report, published
// with `g_crashKnown` so a signal handler can read them without a lock.
std::atomic<bool> g_crashKnown{false};
sockaddr_un g_crashAddr{};
socklen_t g_crashAddrLength = 0;
std::atomic<pid_t> g_crashPid{-1};

void SayOnStderr(const char* what) {
  std::fprintf(stderr, "log viewer: %s\n", what);
  std::fflush(stderr);
}

bool IsViewerProcess(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name == kLogViewerProgram;
}

bool Accepting(const LogSocketAddress& address) {
  int fd = ConnectLogSocket(address);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool WaitUntilNotAccepting(const LogSocketAddress& address, int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Accepting(address)) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A viewer of an earlier run that still listens on our socket is ended: it is
// asked with SIGTERM and killed when it does not go. False when something
// that is not a log viewer holds the socket.
bool EndLeftoverViewer(const LogSocketAddress& address) {
  int fd = ConnectLogSocket(address);
  if (fd < 0) return true;
  ucred cred{};
  socklen_t len = sizeof cred;
  bool known = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.pid > 0;
  ::close(fd);
  if (!known || !IsViewerProcess(cred.pid)) {
    std::fprintf(stderr, "log viewer: %s is held by another program; going on without a log viewer\n",
                 address.display.c_str());
    std::fflush(stderr);
    return false;
  }
  ::kill(cred.pid, SIGTERM);
  if (WaitUntilNotAccepting(address, kLogViewerWaitMs)) return true;
  ::kill(cred.pid, SIGKILL);
  return WaitUntilNotAccepting(address, kLogViewerWaitMs);
}

enum class ReadyResult { kReady, kTimedOut, kEnded };

// Connects to the freshly started viewer and waits for its ready answer.
ReadyResult WaitForReady(const LogSocketAddress& address, platform::ChildProcess& child, int& fdOut) {
  auto start = std::chrono::steady_clock::now();
  auto until = start + std::chrono::milliseconds(kLogViewerWaitMs);
  for (;;) {
    if (!child.Running()) return ReadyResult::kEnded;
    int fd = ConnectLogSocket(address);
    if (fd >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      int32_t reply = 0;
      if (ReadLogReply(fd, reply, static_cast<int>(std::max<int64_t>(left.count(), 0))) &&
          reply == kLogReplyReady) {
        fdOut = fd;
        return ReadyResult::kReady;
      }
      ::close(fd);
      return child.Running() ? ReadyResult::kTimedOut : ReadyResult::kEnded;
    }
    if (std::chrono::steady_clock::now() >= until) return ReadyResult::kTimedOut;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Forgets the viewer; the caller holds the mutex. A viewer that is still
// running after `waitMs` is terminated.
void ForgetLocked(Viewer& v, int waitMs) {
  g_crashKnown.store(false);
  g_crashPid.store(-1);
  if (v.fd >= 0) ::close(v.fd);
  v.fd = -1;
  if (v.child) {
    if (!v.child->WaitExit(waitMs)) v.child->Terminate();
    v.child.reset();
  }
}

bool ExchangeLocked(Viewer& v, int level, std::string_view text, int32_t& reply) {
  unsigned char record[kLogRecordBytes];
  EncodeLogRecord(level, text, record);
  return WriteFully(v.fd, record, sizeof record, kLogViewerWaitMs) &&
         ReadLogReply(v.fd, reply, kLogViewerWaitMs);
}

}  // namespace

bool StartLogViewer(const std::string& settingsFolderIn, const std::string& programFolder) {
  Viewer& v = TheViewer();
  std::lock_guard<std::mutex> lock(v.mutex);
  if (v.fd >= 0) return true;
  std::string settingsFolder = platform::WithTrailingSlash(settingsFolderIn);
  LogSocketAddress address = LogSocketAddressFor(settingsFolder);
  if (!EndLeftoverViewer(address)) return false;

  auto child = std::make_unique<platform::ChildProcess>();
  if (!child->Start(kLogViewerProgram, {settingsFolder}, {}, platform::WithTrailingSlash(programFolder))) {
    ShowMessageBox(kLogViewerStartError);
    return false;
  }
  int fd = -1;
  switch (WaitForReady(address, *child, fd)) {
    case ReadyResult::kReady:
      break;
    case ReadyResult::kTimedOut:
      SayOnStderr("not ready within 5 s; going on without it");
      child->Terminate();
      return false;
    case ReadyResult::kEnded:
      SayOnStderr("ended while starting; going on without it");
      child->WaitExit(0);
      return false;
  }
  v.fd = fd;
  g_crashAddr = address.addr;
  g_crashAddrLength = address.length;
  g_crashPid.store(child->Pid());
  v.child = std::move(child);
  g_crashKnown.store(true);
  return true;
}

void StopLogViewer(const std::string& text) {
  Viewer& v = TheViewer();
  std::lock_guard<std::mutex> lock(v.mutex);
  if (!v.child) return;
  int32_t reply = 0;
  if (v.fd >= 0 && !(ExchangeLocked(v, kLogControl, text, reply) && reply == kLogReplyEnd))
    SayOnStderr("did not end within 5 s; ending it");
  ForgetLocked(v, kLogViewerWaitMs);
}

bool LogViewerRunning() {
  Viewer& v = TheViewer();
  std::lock_guard<std::mutex> lock(v.mutex);
  return v.fd >= 0;
}

int SendToLogViewer(int level, std::string_view text) {
  Viewer& v = TheViewer();
  std::lock_guard<std::mutex> lock(v.mutex);
  if (v.fd < 0) return 0;
  int32_t reply = 0;
  if (!ExchangeLocked(v, level, text, reply)) {
    SayOnStderr("did not answer within 5 s; going on without it");
    ForgetLocked(v, 0);
    return 0;
  }
  // A level-2 record ends the viewer; later records are dropped.
  if (reply == kLogReplyEnd) ForgetLocked(v, kLogViewerWaitMs);
  return reply;
}

namespace crash_link {

int Connect() {
  if (!g_crashKnown.load()) return -1;
  int fd = ConnectLogSocket(g_crashAddr, g_crashAddrLength);
  if (fd < 0) return -1;
  int32_t reply = 0;
  if (!ReadLogReply(fd, reply, kLogViewerWaitMs) || reply != kLogReplyReady) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool Send(int fd, int level, const char* text, unsigned long length) {
  static unsigned char record[kLogRecordBytes];  // the handler runs once at a time
  EncodeLogRecord(level, std::string_view(text, length), record);
  int32_t reply = 0;
  return WriteFully(fd, record, sizeof record, kLogViewerWaitMs) && ReadLogReply(fd, reply, kLogViewerWaitMs);
}

void StopViewer(int fd, const char* text, unsigned long length) {
  if (!g_crashKnown.load()) {
    if (fd >= 0) ::close(fd);
    return;
  }
  bool ended = false;
  if (fd >= 0) {
    unsigned char record[kLogRecordBytes];
    EncodeLogRecord(kLogControl, std::string_view(text, length), record);
    int32_t reply = 0;
    ended = WriteFully(fd, record, sizeof record, kLogViewerWaitMs) &&
            ReadLogReply(fd, reply, kLogViewerWaitMs) && reply == kLogReplyEnd;
    ::close(fd);
  }
  pid_t pid = g_crashPid.load();
  if (!ended && pid > 0) ::kill(pid, SIGTERM);
  g_crashKnown.store(false);
}

}  // namespace crash_link
}  // namespace tarn
