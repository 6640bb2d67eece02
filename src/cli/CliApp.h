#pragma once

#include "cli/CommandLine.h"

namespace mzt {

// Runs one command of `mzt` and answers its exit status.
int RunCli(const CliOptions& options);

}  // namespace mzt
