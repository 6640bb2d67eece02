#pragma once
// `mzt doctor`: what stands between this user and an update, each problem
// with its fix. Reads and tries, changes nothing.

#include "cli/CommandLine.h"

namespace mzt {

// kExitSuccess only when an update could run, else kExitProblemsFound.
int RunDoctor(const CliOptions& options);

}  // namespace mzt
