#pragma once
// Starting and ending a child program.
#include <sys/types.h>

#include <string>
#include <vector>

namespace tarn::platform {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();  // does not end the child; call Terminate() for that
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` with `args` (argv[1..]); `extraEnv` entries "NAME=value"
  // are added to the inherited environment. A program name without "/" is
  // looked up in `searchFirst` (the program folder) and then in PATH. False
  // when the program cannot be started.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& extraEnv = {}, const std::string& searchFirst = {});

  pid_t Pid() const { return pid_; }
  bool Running();
  // Waits up to timeoutMs for the child to end; true when it has ended.
  bool WaitExit(int timeoutMs);
  int ExitStatus() const { return status_; }  // waitpid status
  // SIGTERM, then SIGKILL after graceMs.
  void Terminate(int graceMs = 1000);

 private:
  pid_t pid_ = -1;
  int status_ = 0;
  bool reaped_ = false;
};

}  // namespace tarn::platform
