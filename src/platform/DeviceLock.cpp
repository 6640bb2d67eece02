#include "platform/DeviceLock.h"

#include <cstdint>

namespace mzt {

std::string DeviceLockName(const std::string& identity) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (unsigned char c : identity) {
    bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
                 c == '.' || c == '_';
    if (plain) {
      name += static_cast<char>(c);
    } else {
      name += '%';
      name += kHex[c >> 4];
      name += kHex[c & 15];
    }
  }
  // Kept well inside a file name's 255 bytes: a long one is cut and marked
  // with its FNV-1a hash, so that two long names stay apart.
  constexpr size_t kLongest = 160;
  if (name.size() > kLongest) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : identity) hash = (hash ^ c) * 1099511628211ull;
    name.resize(kLongest - 17);
    name += '-';
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(hash >> shift) & 15];
  }
  return name;
}

}  // namespace mzt
