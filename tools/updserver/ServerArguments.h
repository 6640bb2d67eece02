#pragma once
// The command line of mzt-updserver.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "updserver/UpdateServer.h"
#include "common/Result.h"

namespace mzt::updserver {

struct ServerArguments {
  UpdateServerOptions options;
  std::vector<std::pair<Page, PageFault>> faults;
  std::filesystem::path replay;    // a recorded session to answer from
  std::filesystem::path database;  // the database the recording downloaded
  bool help = false;
  bool version = false;
};

// Reads the arguments after the program name.
Result<ServerArguments> ParseServerArguments(const std::vector<std::string>& args);

// "PAGE:MODE[:VALUE]", e.g. "download:truncate", "address:status:404", "check:slow:200".
Result<std::pair<Page, PageFault>> ParseFault(const std::string& text);

extern const char* const kServerUsage;

}  // namespace mzt::updserver
