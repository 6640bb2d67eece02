#include "common/ModuleVersion.h"

#include <cstdio>

#include "common/BuildConfig.h"

namespace mzt {

bool GetModuleFileVersion(uint16_t& major, uint16_t& minor, uint16_t& build,
                          uint16_t& revision) {
  major = kVersionMajor;
  minor = kVersionMinor;
  build = kVersionBuild;
  revision = kVersionRevision;
  return true;
}

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
