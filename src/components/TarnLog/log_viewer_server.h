#pragma once
// The viewer's side of the log socket: listens, answers every new connection
// with the ready answer, takes whole records from any number of connections
// (one thread, poll), writes each to the log file and answers it. A level-2
// record is written, answered with the end answer, and ends the viewer.
// SIGTERM or SIGINT, or the end of the program that started the viewer, end
// it quietly.
#include <sys/types.h>

#include <string>
#include <vector>

#include "app/log.h"
#include "app/log_record.h"
#include "app/log_socket.h"
#include "log_file_writer.h"

namespace tarn::viewer {

class LogViewerServer {
 public:
  LogViewerServer() = default;
  ~LogViewerServer();
  LogViewerServer(const LogViewerServer&) = delete;
  LogViewerServer& operator=(const LogViewerServer&) = delete;

  // Binds the socket. A stale socket file (nobody listening) is replaced;
  // false when another viewer listens there or the path is not a socket.
  bool Listen(const LogSocketAddress& address, std::string& error);

  // Serves until a level-2 record, a stop signal or the parent's end.
  void Run(LogFileWriter& file);

 private:
  struct Client {
    int fd = -1;
    size_t filled = 0;
    std::vector<unsigned char> record = std::vector<unsigned char>(kLogRecordBytes);
  };
  void Accept();
  // Reads what the client sent; false when it is gone. Sets `end` after a
  // level-2 record.
  bool Serve(Client& client, LogFileWriter& file, bool& end);
  void CloseListener();
  void Close();

  LogSocketAddress address_;
  int listener_ = -1;
  ino_t socketInode_ = 0;
  std::vector<Client> clients_;
};

// Installs the SIGTERM/SIGINT handlers whose arrival Run() notices.
void InstallStopSignals();

}  // namespace tarn::viewer
