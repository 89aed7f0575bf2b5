#pragma once
// The local socket between the program and its log viewer. It lives in the
// settings folder as "TarnLog.sock"; when that path does not fit a socket
// address (108 bytes), an abstract socket name derived from the folder is
// used instead. The I/O helpers here are async-signal-safe (poll, send,
// recv, clock_gettime only), so the crash report can use them.
#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn {

inline constexpr const char* kLogSocketFileName = "TarnLog.sock";

struct LogSocketAddress {
  sockaddr_un addr{};
  socklen_t length = 0;
  bool abstractName = false;
  std::string display;  // the path, or "@name" for an abstract name
};

LogSocketAddress LogSocketAddressFor(const std::string& settingsFolder);

// A connected stream socket (close-on-exec), or -1 with errno set.
int ConnectLogSocket(const LogSocketAddress& address);
int ConnectLogSocket(const sockaddr_un& addr, socklen_t length);

// Send or receive exactly `size` bytes within `timeoutMs`; false on time-out,
// error or end of stream.
bool WriteFully(int fd, const void* data, size_t size, int timeoutMs);
bool ReadFully(int fd, void* data, size_t size, int timeoutMs);

// Reads one 4-byte answer of the viewer.
bool ReadLogReply(int fd, int32_t& reply, int timeoutMs);
bool WriteLogReply(int fd, int32_t reply, int timeoutMs);

}  // namespace tarn
