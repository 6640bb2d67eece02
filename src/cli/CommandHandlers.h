#pragma once
// What each command of `mzt` runs: the command table (CommandLine.cpp)
// names them, RunCli dispatches through it.

#include "cli/CommandLine.h"

namespace mzt {

int RunPorts(const CliOptions& options);
int RunQuery(const CliOptions& options);
int RunCheck(const CliOptions& options);
int RunUpdate(const CliOptions& options);
int RunUpload(const CliOptions& options);
int RunClearPoi(const CliOptions& options);
int RunExportPoi(const CliOptions& options);
int RunSplit(const CliOptions& options);
int RunDoctor(const CliOptions& options);
int RunSendCopyData(const CliOptions& options);
int RunReplayCheck(const CliOptions& options);
int RunHelp(const CliOptions& options);

}  // namespace mzt
