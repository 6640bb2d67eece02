#pragma once

#include <string>

#include "devicelink/Checksum.h"

namespace mzt::test {

// A reply sentence with its checksum suffix and line end: "$LOG109,1" ->
// "$LOG109,1*2A\r\n".
inline std::string Reply(std::string body) {
  AppendChecksum(body);
  return body;
}

}  // namespace mzt::test
