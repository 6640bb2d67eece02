#include "devicelink/MztCmd.h"

#include "devicelink/Checksum.h"

namespace mzt {

void CMZTCmd::ComposeText(std::string body) {
  AppendChecksum(body);
  sentence_.assign(body.begin(), body.end());
}

void CMZTCmd::SetRawSentence(std::span<const uint8_t> bytes) {
  sentence_.assign(bytes.begin(), bytes.end());
}

}  // namespace mzt
