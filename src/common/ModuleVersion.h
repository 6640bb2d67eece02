#pragma once

#include <cstdint>
#include <string>

namespace mzt {

struct ModuleVersion {
  uint16_t major = 0;
  uint16_t minor = 0;
  uint16_t build = 0;
  uint16_t revision = 0;
};

// The program's own version, compiled in from the build's project version.
bool GetModuleFileVersion(uint16_t& major, uint16_t& minor, uint16_t& build,
                          uint16_t& revision);
ModuleVersion GetModuleFileVersion();

// "MZT Utility Online" + two blanks + "major.minor.build.revision".
std::string ProgramTitle();

}  // namespace mzt
