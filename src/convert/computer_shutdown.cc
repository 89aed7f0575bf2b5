#include "convert/computer_shutdown.h"

#include <sys/wait.h>

#include <atomic>

#include "app/log.h"
#include "platform/child_process.h"

namespace tarn {
namespace {

std::atomic<ComputerShutdown*> g_replacement{nullptr};

}  // namespace

std::vector<std::vector<std::string>> PowerOffCommands() {
  // PowerOff(interactive = false): a plain power-off that inhibitors may
  // still delay, like an unforced shutdown.
  return {
      {"busctl", "call", "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
       "PowerOff", "b", "false"},
      {"dbus-send", "--system", "--print-reply", "--dest=org.freedesktop.login1", "/org/freedesktop/login1",
       "org.freedesktop.login1.Manager.PowerOff", "boolean:false"},
  };
}

bool LogindShutdown::PowerOff() {
  for (const auto& command : PowerOffCommands()) {
    platform::ChildProcess child;
    const std::vector<std::string> args(command.begin() + 1, command.end());
    if (!child.Start(command.front(), args)) continue;
    if (!child.WaitExit(30000)) {
      child.Terminate();
      continue;
    }
    const int status = child.ExitStatus();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  }
  Log(kLogError, "The computer could not be shut down: logind refused or is not reachable\n");
  return false;
}

ComputerShutdown& CurrentComputerShutdown() {
  if (ComputerShutdown* r = g_replacement.load()) return *r;
  static LogindShutdown real;
  return real;
}

void SetComputerShutdown(ComputerShutdown* shutdown) { g_replacement.store(shutdown); }

bool ShutdownComputer() { return CurrentComputerShutdown().PowerOff(); }

}  // namespace tarn
