// Every reply parser on arbitrary sentences, past the checksum the receiver
// would check first; what the callers read back stays within its bounds.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "CommandSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  mzt::fuzz::CommandSet c(data[0]);
  c.All[data[1] % 7]->ParseReply(std::span<const uint8_t>(data + 2, size - 2));

  if (c.cmd108.VersionText().size() > mzt::Cmd108::kMaxText ||
      c.cmd108.DeviceIdText().size() > mzt::Cmd108::kMaxText ||
      c.cmd108.PoiCount() < 0 || c.cmd108.PoiCount() > mzt::Cmd108::kMaxPoiCount)
    std::abort();
  (void)c.cmd108.RegionCode();
  (void)c.cmd108.DatabaseVersion();
  (void)c.cmd114.Record();
  return 0;
}
