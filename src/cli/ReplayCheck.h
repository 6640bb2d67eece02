#pragma once
// `mzt replay-check FILE`: the recorded command run again against the
// simulated device and the local update server playing the recording, and
// whether the program still does what it did then.

#include "cli/CommandLine.h"

namespace mzt {

int RunReplayCheck(const CliOptions& options);

}  // namespace mzt
