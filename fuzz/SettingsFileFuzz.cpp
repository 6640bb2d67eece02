// The settings file as it may be found on disk: any bytes give settings,
// with a port name of at most 127 characters.

#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "FuzzScratch.h"
#include "common/PortSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto path = mzt::fuzz::ScratchFolder() / "MZTConfig.ini";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  mzt::PortSettings settings = mzt::LoadPortSettings(path);
  if (settings.portNumber.size() > mzt::kMaxPortNameLength) std::abort();
  return 0;
}
