#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "cli/CommandLine.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
  std::vector<std::string> args = mzt::CommandLineArguments(argc, argv);
  auto options = mzt::ParseCommandLine(args);
  if (!options) {
    std::fprintf(stderr, "mzt: %s\n%s\nTry 'mzt --help' for the commands and options.\n",
                 options.Err().message.c_str(), mzt::UsageLine().c_str());
    return mzt::kExitUsage;
  }
  return mzt::RunCli(options.Value());
}
