#pragma once
// Every command object, set up from one configuration byte so that the
// fuzzer reaches each reply form (selectors, the exact-1.0.0.3 form, a data
// frame awaiting its acknowledgement).

#include <cstdint>

#include "devicelink/Commands.h"

namespace mzt::fuzz {

struct CommandSet {
  Cmd108 cmd108;
  Cmd109 cmd109;
  Cmd113 cmd113;
  Cmd114 cmd114;
  Cmd995 cmd995;
  Cmd996 cmd996;
  Cmd999 cmd999;

  explicit CommandSet(uint8_t config) {
    cmd108.SetSelector(config & 7);
    cmd108.SetExactMode((config & 8) != 0);
    cmd113.SetArgument((config >> 4) & 1);
    cmd996.SetExpectedIdentifier(0xFF00 + ((config >> 5) & 3));
    static const uint8_t kData[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    cmd999.SetMaximumPayload(8);
    cmd999.SetHeader(Cmd999::kData, 0xFF01, 8, kData, 1);
    if (config & 0x80) cmd999.SetDataFrame(kData);
  }

  CMZTCmd* All[7] = {&cmd108, &cmd109, &cmd113, &cmd114, &cmd995, &cmd996, &cmd999};
};

}  // namespace mzt::fuzz
