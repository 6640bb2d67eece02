#pragma once
// The command line of `mzt`.

#include <string>
#include <vector>

#include "common/Result.h"

namespace mzt {

struct CliOptions {
  std::string command;  // ports, query, update, upload, clear-poi, export-poi, split, send-copydata
  std::vector<std::string> arguments;
  std::string port;
  std::string region;  // "tw" or "cn"; empty keeps the page's choice (Taiwan)
  std::string server;
  std::string dataDir;
  std::string outDir;
  bool yes = false;
  bool verbose = false;
  bool help = false;
  bool version = false;
};

// Exit statuses: 0 only when the flow succeeded.
enum ExitStatus : int {
  kExitSuccess = 0,
  kExitUsage = 1,
  kExitDeviceUnreachable = 2,
  kExitNetworkFailure = 3,
  kExitInvalidDatabase = 4,
  kExitDeclined = 5,
  kExitTransferFailed = 6,
  kExitFileError = 7,
  kExitInputFile = 8,         // the input file is missing or cannot be read
  kExitNoDesktopProgram = 9,  // send-copydata found no desktop program
  kExitInterrupted = 130,     // Ctrl-C
};

Result<CliOptions> ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText();
// The first line of UsageText, for a mistyped command line.
std::string UsageLine();

}  // namespace mzt
