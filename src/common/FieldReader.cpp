#include "common/FieldReader.h"

#include <cctype>
#include <limits>

namespace mzt {

bool NextField(std::string_view text, size_t& pos, std::string& out, size_t maxLength) {
  out.clear();
  if (pos >= text.size()) return false;
  size_t end = pos;
  while (end < text.size() && text[end] != ',' && text[end] != '*') ++end;
  out.assign(text.substr(pos, std::min(end - pos, maxLength)));
  pos = end < text.size() ? end + 1 : end;
  return true;
}

std::string FieldCursor::Next() {
  std::string field;
  lastFound_ = NextField(text_, pos_, field, maxLength_);
  return field;
}

long long ParseDecimal(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  constexpr long long kLimit = std::numeric_limits<long long>::max() / 10 - 9;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

unsigned long long ParseHex(std::string_view text) {
  unsigned long long value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    if (value < (std::numeric_limits<unsigned long long>::max() >> 4))
      value = (value << 4) | static_cast<unsigned>(digit);
  }
  return value;
}

}  // namespace mzt
