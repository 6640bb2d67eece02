#pragma once
// The mzt-devsim command line: options, fault descriptions and the help
// text, all from one table so that the help names every option there is.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"
#include "devsim/SimulatedDevice.h"

namespace mzt::devsim {

struct ProgramSettings {
  SimulatedDevice::Options device;
  std::filesystem::path poiCsv;  // read by the program when set
  std::chrono::milliseconds replugDelay{3000};
  std::filesystem::path replay;  // a recorded session to play instead of simulating
  bool verbose = false;
  bool help = false;
  bool version = false;
};

// Times given in milliseconds are multiplied by `timeScale` and the byte
// rate is divided by it, so that a scaled run keeps its proportions.
Result<ProgramSettings> ParseCommandLine(const std::vector<std::string>& args, double timeScale = 1.0);
Result<Fault> ParseFault(std::string_view text, double timeScale = 1.0);
std::string HelpText();
// Every option, as "--name".
std::vector<std::string> OptionNames();

}  // namespace mzt::devsim
