#include "common/ModuleVersion.h"

#include <cstdio>

namespace mzt {

ModuleVersion GetModuleFileVersion() {
  ModuleVersion v;
  GetModuleFileVersion(v.major, v.minor, v.build, v.revision);
  return v;
}

std::string ProgramTitle() {
  ModuleVersion v;
  if (!GetModuleFileVersion(v.major, v.minor, v.build, v.revision)) return "MZT Utility Online";
  char text[64];
  std::snprintf(text, sizeof text, "MZT Utility Online  %d.%d.%d.%d", v.major, v.minor, v.build,
                v.revision);
  return text;
}

}  // namespace mzt
