#pragma once
// Shutting the computer down after a batch that asked for it. The real
// shutdown goes through logind; tests install a stand-in and never reach it.
#include <string>
#include <vector>

namespace tarn {

class ComputerShutdown {
 public:
  virtual ~ComputerShutdown() = default;
  // Asks the system to power off (not forced); false when the request could
  // not be made.
  virtual bool PowerOff() = 0;
};

// logind's PowerOff over D-Bus, through busctl (or dbus-send).
class LogindShutdown final : public ComputerShutdown {
 public:
  bool PowerOff() override;
};

// The command lines tried in turn, program first.
std::vector<std::vector<std::string>> PowerOffCommands();

// The shutdown in use: LogindShutdown unless replaced.
ComputerShutdown& CurrentComputerShutdown();
// Replaces it (null restores the real one).
void SetComputerShutdown(ComputerShutdown* shutdown);

// Shuts the computer down through the shutdown in use.
bool ShutdownComputer();

}  // namespace tarn
