#include "platform/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace tarn::platform {

ChildProcess::~ChildProcess() {
  // Reap the child if it already ended so it does not linger as a zombie.
  if (pid_ > 0 && !reaped_) ::waitpid(pid_, &status_, WNOHANG);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& extraEnv, const std::string& searchFirst) {
  std::string path = program;
  if (program.find('/') == std::string::npos && !searchFirst.empty() &&
      ::access((searchFirst + program).c_str(), X_OK) == 0)
    path = searchFirst + program;

  std::vector<std::string> argStore;
  argStore.push_back(path);
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStore;
  for (char** e = environ; e && *e; ++e) {
    std::string entry(*e);
    std::string name = entry.substr(0, entry.find('='));
    bool overridden = false;
    for (const auto& x : extraEnv)
      if (x.substr(0, x.find('=')) == name) overridden = true;
    if (!overridden) envStore.push_back(entry);
  }
  envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = -1;
  int rc = path.find('/') == std::string::npos
               ? ::posix_spawnp(&pid, path.c_str(), nullptr, nullptr, argv.data(), envp.data())
               : ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), envp.data());
  if (rc != 0) return false;
  pid_ = pid;
  reaped_ = false;
  status_ = 0;
  return true;
}

bool ChildProcess::Running() {
  if (pid_ <= 0 || reaped_) return false;
  pid_t r = ::waitpid(pid_, &status_, WNOHANG);
  if (r == pid_) reaped_ = true;
  return r == 0;
}

bool ChildProcess::WaitExit(int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void ChildProcess::Terminate(int graceMs) {
  if (!Running()) return;
  ::kill(pid_, SIGTERM);
  if (!WaitExit(graceMs)) {
    ::kill(pid_, SIGKILL);
    WaitExit(1000);
  }
}

}  // namespace tarn::platform
