#pragma once
// The command line of `mzt`.

#include <string>
#include <vector>

#include "common/Result.h"

namespace mzt {

struct CliOptions {
  // ports, query, check, update, upload, clear-poi, export-poi, split, send-copydata,
  // doctor, help; empty with showDataDir
  std::string command;
  std::vector<std::string> arguments;
  std::string port;
  std::string serial;  // the detector's USB serial number, resolved to its port
  std::string region;  // "tw" or "cn"; empty keeps the page's choice (Taiwan)
  std::string server;
  std::string dataDir;
  std::string outDir;
  bool yes = false;
  bool verbose = false;
  bool quiet = false;  // no progress, no messages but errors
  bool help = false;
  bool version = false;
  bool json = false;         // ports, query, check and doctor: machine-readable output
  bool showDataDir = false;  // --data-dir without a command: say where the files are
  std::string record;        // a device command's session recorded in this file
  bool recordData = false;   // the recording keeps data frames' bytes
  bool anonymise = false;    // the recording leaves out the device's identity and POI coordinates
  std::string database;      // replay-check: the database file the recording downloaded or uploaded
  // The arguments as given, without the recording's options.
  std::vector<std::string> given;
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
  kExitNewerDatabase = 10,    // check: the server has a newer database
  kExitProblemsFound = 11,    // doctor: an update could not run
  kExitDesktopBusy = 12,      // send-copydata: the desktop program is busy; try again
  kExitReplayDiffers = 13,    // replay-check: the program does not do what it did
  kExitInterrupted = 130,     // Ctrl-C
};

Result<CliOptions> ParseCommandLine(const std::vector<std::string>& args);
// What runs the parsed command (the help for a name that is none).
using CommandHandler = int (*)(const CliOptions& options);
CommandHandler HandlerOf(const std::string& command);
std::string UsageText();
// One command's help, or the whole usage for an unknown name.
std::string CommandHelpText(const std::string& command);
// The first line of UsageText, for a mistyped command line.
std::string UsageLine();

}  // namespace mzt
