#include <cstdio>

#include "cli/ReplayCheck.h"
#include "platform/Translation.h"

namespace mzt {

// The simulated device needs a pseudo-terminal: replays run on Linux, where
// a recording made here replays as well.
int RunReplayCheck(const CliOptions&) {
  std::fprintf(stderr, "mzt: %s\n",
               Tr("replay-check runs on Linux, beside mzt-devsim; a recording made here replays there"));
  return kExitUsage;
}

}  // namespace mzt
