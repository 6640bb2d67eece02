// mzt-dbgen: writes a valid synthetic speed-camera database.

#include <cstdio>
#include <string_view>
#include <vector>

#include "common/ModuleVersion.h"
#include "dbgen/DbgenCommandLine.h"
#include "dbgen/SyntheticDatabase.h"

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  auto command = mzt::dbgen::ParseDbgenCommandLine(args);
  if (!command) {
    std::fprintf(stderr, "mzt-dbgen: %s\n%s", command.Err().message.c_str(),
                 mzt::dbgen::DbgenUsage().c_str());
    return 2;
  }
  if (command.Value().help) {
    std::fputs(mzt::dbgen::DbgenUsage().c_str(), stdout);
    return 0;
  }
  if (command.Value().version) {
    std::printf("mzt-dbgen (%s)\n", mzt::ProgramTitle().c_str());
    return 0;
  }
  const auto& options = command.Value().database;
  mzt::dbgen::SyntheticDatabase database(options);
  if (auto written = database.WriteTo(command.Value().out); !written) {
    std::fprintf(stderr, "mzt-dbgen: %s\n", written.Err().message.c_str());
    return 1;
  }
  std::printf("%s: version %d%02d%02d%04d, grid %ux%u, %llu records, %llu bytes\n",
              command.Value().out.string().c_str(), options.year, options.month, options.day,
              options.number, options.gridA, options.gridB,
              static_cast<unsigned long long>(options.records),
              static_cast<unsigned long long>(database.FileSize()));
  return 0;
}
