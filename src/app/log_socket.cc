#include "app/log_socket.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/log_record.h"

namespace tarn {
namespace {

int64_t NowMs() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits for `events` on `fd` until `deadline`; false on time-out or error.
bool WaitFor(int fd, short events, int64_t deadline) {
  for (;;) {
    int64_t left = deadline - NowMs();
    if (left < 0) left = 0;
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, static_cast<int>(left));
    if (r > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

LogSocketAddress LogSocketAddressFor(const std::string& settingsFolder) {
  LogSocketAddress a;
  a.addr.sun_family = AF_UNIX;
  std::string path = settingsFolder + kLogSocketFileName;
  if (path.size() < sizeof a.addr.sun_path) {
    std::memcpy(a.addr.sun_path, path.c_str(), path.size() + 1);
    a.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    a.display = path;
    return a;
  }
  // Too long for a path: an abstract name keyed by the folder (FNV-1a).
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : settingsFolder) hash = (hash ^ c) * 1099511628211ull;
  char name[64];
  int n = std::snprintf(name, sizeof name, "tarn-orvane-log-%016llx", static_cast<unsigned long long>(hash));
  a.addr.sun_path[0] = '\0';
  std::memcpy(a.addr.sun_path + 1, name, static_cast<size_t>(n));
  a.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  a.abstractName = true;
  a.display = std::string("@") + name;
  return a;
}

int ConnectLogSocket(const LogSocketAddress& address) {
  return ConnectLogSocket(address.addr, address.length);
}

int ConnectLogSocket(const sockaddr_un& addr, socklen_t length) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int r;
  do {
    r = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), length);
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

bool WriteFully(int fd, const void* data, size_t size, int timeoutMs) {
  int64_t deadline = NowMs() + timeoutMs;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    if (!WaitFor(fd, POLLOUT, deadline)) return false;
    ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadFully(int fd, void* data, size_t size, int timeoutMs) {
  int64_t deadline = NowMs() + timeoutMs;
  char* p = static_cast<char*>(data);
  while (size > 0) {
    if (!WaitFor(fd, POLLIN, deadline)) return false;
    ssize_t n = ::recv(fd, p, size, MSG_DONTWAIT);
    if (n == 0) return false;  // the other side closed
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadLogReply(int fd, int32_t& reply, int timeoutMs) {
  unsigned char b[4];
  if (!ReadFully(fd, b, sizeof b, timeoutMs)) return false;
  reply = GetInt32Le(b);
  return true;
}

bool WriteLogReply(int fd, int32_t reply, int timeoutMs) {
  unsigned char b[4];
  PutInt32Le(reply, b);
  return WriteFully(fd, b, sizeof b, timeoutMs);
}

}  // namespace tarn
