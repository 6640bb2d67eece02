#include <cstdio>

#include "cli/ReplayCheck.h"

namespace mzt {

// The simulated device needs a pseudo-terminal: replays run on Linux, where
// a recording made here replays as well.
int RunReplayCheck(const CliOptions&) {
  std::fputs("mzt: replay-check runs on Linux, beside mzt-devsim; a recording made here replays there\n",
             stderr);
  return kExitUsage;
}

}  // namespace mzt
