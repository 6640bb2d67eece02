#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "cli/CommandLine.h"
#include "platform/Process.h"
#include "platform/Translation.h"

int main(int argc, char** argv) {
  std::vector<std::string> args = mzt::CommandLineArguments(argc, argv);
  mzt::UseLanguage(mzt::Language::kUser);
  auto options = mzt::ParseCommandLine(args);
  if (!options) {
    std::fprintf(stderr, "mzt: %s\n%s\n%s\n", options.Err().message.c_str(), mzt::UsageLine().c_str(),
                 mzt::Tr("Try 'mzt --help' for the commands and options."));
    return mzt::kExitUsage;
  }
  // What programs read stays in English, whatever the user's language.
  if (options.Value().json) mzt::UseLanguage(mzt::Language::kEnglish);
  return mzt::RunCli(options.Value());
}
