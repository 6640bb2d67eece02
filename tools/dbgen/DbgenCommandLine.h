#pragma once
// The command line of mzt-dbgen.

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "common/Result.h"
#include "dbgen/SyntheticDatabase.h"

namespace mzt::dbgen {

struct DbgenCommand {
  bool help = false;
  bool version = false;
  std::filesystem::path out;
  DatabaseOptions database;
};

// Reads the arguments after the program name. kInvalidArgument names the
// offending option.
Result<DbgenCommand> ParseDbgenCommandLine(std::span<const std::string_view> args);

std::string DbgenUsage();

}  // namespace mzt::dbgen
