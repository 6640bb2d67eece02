// The version compiled in from the project version; Windows reads the
// program file's version resource instead (platform/windows).
#include "common/BuildConfig.h"
#include "common/ModuleVersion.h"

namespace mzt {

bool GetModuleFileVersion(uint16_t& major, uint16_t& minor, uint16_t& build,
                          uint16_t& revision) {
  major = kVersionMajor;
  minor = kVersionMinor;
  build = kVersionBuild;
  revision = kVersionRevision;
  return true;
}

}  // namespace mzt
