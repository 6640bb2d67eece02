#pragma once
// The device keeps every multi-byte field big-endian; PC files are little-endian.

#include <cstdint>

namespace mzt {

constexpr uint16_t SwapBytes16(uint16_t value) {
  return static_cast<uint16_t>((value >> 8) | (value << 8));
}

constexpr uint32_t SwapBytes32(uint32_t value) {
  return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) |
         ((value & 0x00FF0000u) >> 8) | ((value & 0xFF000000u) >> 24);
}

}  // namespace mzt
