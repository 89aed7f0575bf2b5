#include "log_viewer_server.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace tarn::viewer {
namespace {

int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  int saved = errno;
  char c = 1;
  [[maybe_unused]] ssize_t n = ::write(g_stopPipe[1], &c, 1);
  errno = saved;
}

// How often the viewer looks whether the program that started it still runs.
constexpr int kParentCheckMs = 500;
constexpr int kReplyWaitMs = 1000;

}  // namespace

void InstallStopSignals() {
  if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

LogViewerServer::~LogViewerServer() { Close(); }

bool LogViewerServer::Listen(const LogSocketAddress& address, std::string& error) {
  address_ = address;
  int probe = ConnectLogSocket(address);
  if (probe >= 0) {
    ::close(probe);
    error = "another log viewer listens on " + address.display;
    return false;
  }
  if (!address.abstractName) {
    struct stat st {};
    if (::lstat(address.addr.sun_path, &st) == 0) {
      if (!S_ISSOCK(st.st_mode)) {
        error = address.display + " exists and is not a socket";
        return false;
      }
      ::unlink(address.addr.sun_path);  // left behind by a viewer that was killed
    }
  }
  listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener_ < 0 ||
      ::bind(listener_, reinterpret_cast<const sockaddr*>(&address.addr), address.length) != 0 ||
      ::listen(listener_, 16) != 0) {
    error = "cannot listen on " + address.display + ": " + std::strerror(errno);
    return false;
  }
  if (!address.abstractName) {
    ::chmod(address.addr.sun_path, 0600);
    struct stat st {};
    if (::stat(address.addr.sun_path, &st) == 0) socketInode_ = st.st_ino;
  }
  return true;
}

void LogViewerServer::Accept() {
  for (;;) {
    int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (!WriteLogReply(fd, kLogReplyReady, kReplyWaitMs)) {
      ::close(fd);
      continue;
    }
    Client c;
    c.fd = fd;
    clients_.push_back(std::move(c));
  }
}

bool LogViewerServer::Serve(Client& client, LogFileWriter& file, bool& end) {
  for (;;) {
    ssize_t n = ::recv(client.fd, client.record.data() + client.filled, kLogRecordBytes - client.filled, 0);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    client.filled += static_cast<size_t>(n);
    if (client.filled < kLogRecordBytes) continue;
    client.filled = 0;
    DecodedLogRecord record = DecodeLogRecord(client.record.data());
    file.Write(record.level, record.text);
    if (record.level == kLogControl) {
      // Stop listening before answering, so that once the program has the
      // end answer a new viewer can take the socket at once.
      CloseListener();
      WriteLogReply(client.fd, kLogReplyEnd, kReplyWaitMs);
      end = true;
      return true;
    }
    if (!WriteLogReply(client.fd, kLogReplyTaken, kReplyWaitMs)) return false;
  }
}

void LogViewerServer::Run(LogFileWriter& file) {
  pid_t parent = ::getppid();
  for (;;) {
    std::vector<pollfd> fds;
    fds.push_back({g_stopPipe[0], POLLIN, 0});
    fds.push_back({listener_, POLLIN, 0});
    for (const Client& c : clients_) fds.push_back({c.fd, POLLIN, 0});
    int r = ::poll(fds.data(), fds.size(), kParentCheckMs);
    if (r < 0 && errno != EINTR) return;
    if (::getppid() != parent) return;  // the program is gone without stopping us
    if (r <= 0) continue;
    if (fds[0].revents) return;
    if (fds[1].revents & POLLIN) Accept();
    bool end = false;
    std::vector<Client> kept;
    for (size_t i = 0; i < fds.size() - 2; ++i) {
      Client& c = clients_[i];
      bool alive = true;
      if (fds[i + 2].revents & POLLIN) alive = Serve(c, file, end);
      else if (fds[i + 2].revents & (POLLHUP | POLLERR | POLLNVAL)) alive = false;
      if (end) return;
      if (alive) kept.push_back(std::move(c));
      else ::close(c.fd);
    }
    // Accept() may have appended clients that were not polled this round.
    for (size_t i = fds.size() - 2; i < clients_.size(); ++i) kept.push_back(std::move(clients_[i]));
    clients_ = std::move(kept);
  }
}

void LogViewerServer::CloseListener() {
  // Unlink first, and only our own file: once the path is gone a new viewer
  // may bind it, and that one's file must survive us.
  if (listener_ >= 0 && !address_.abstractName && socketInode_ != 0) {
    struct stat st {};
    if (::stat(address_.addr.sun_path, &st) == 0 && st.st_ino == socketInode_) ::unlink(address_.addr.sun_path);
  }
  if (listener_ >= 0) ::close(listener_);
  listener_ = -1;
}

void LogViewerServer::Close() {
  CloseListener();
  for (Client& c : clients_) ::close(c.fd);
  clients_.clear();
}

}  // namespace tarn::viewer
