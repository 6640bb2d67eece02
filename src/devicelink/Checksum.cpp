#include "devicelink/Checksum.h"

namespace mzt {
namespace {

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint8_t XorBytes(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum ^= b;
  return sum;
}

void AppendChecksum(std::string& body) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto bytes = std::span(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  uint8_t sum = bytes.empty() ? 0 : XorBytes(bytes.subspan(1));
  body += '*';
  body += kDigits[sum >> 4];
  body += kDigits[sum & 0x0F];
  body += "\r\n";
}

bool EndsWithChecksumSuffix(std::span<const uint8_t> bytes) {
  size_t n = bytes.size();
  return n >= 3 && bytes[n - 3] == '*' && HexValue(bytes[n - 2]) >= 0 && HexValue(bytes[n - 1]) >= 0;
}

bool HasValidChecksum(std::span<const uint8_t> sentence) {
  if (sentence.size() < 3 || sentence[0] != '$') return false;
  // A sentence that ends in '*' and two digits is summed up to that '*', so
  // that a raw 0x2A inside it (a date byte) counts as data.
  size_t end = 1;
  if (EndsWithChecksumSuffix(sentence)) {
    end = sentence.size() - 3;
  } else {
    while (end < sentence.size() && sentence[end] != '*') ++end;
    if (end == sentence.size()) end = sentence.size() - 1;
  }
  uint8_t sum = XorBytes(sentence.subspan(1, end - 1));
  int high = HexValue(sentence[sentence.size() - 2]);
  int low = HexValue(sentence[sentence.size() - 1]);
  return high >= 0 && low >= 0 && sum == static_cast<uint8_t>(high << 4 | low);
}

}  // namespace mzt
