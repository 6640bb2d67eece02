#include "platform/Process.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace mzt {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

bool IsProcessRunning(uint32_t id) {
  if (id == 0 || id > static_cast<uint32_t>(INT32_MAX)) return false;
  return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

}  // namespace mzt
