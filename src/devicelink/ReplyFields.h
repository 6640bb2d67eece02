#pragma once
// Reading a reply's fields: the "$LOG" field, the status, then the rest,
// each cut to the command's field buffer (9 or 49 characters).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/FieldReader.h"

namespace mzt {

class ReplyFields {
 public:
  ReplyFields(std::span<const uint8_t> sentence, size_t fieldLength)
      : text_(reinterpret_cast<const char*>(sentence.data()), sentence.size()),
        cursor_(text_, fieldLength) {
    cursor_.Next();  // "$LOG" and the number
    status_ = static_cast<int>(ParseDecimal(cursor_.Next()));
  }

  int Status() const { return status_; }
  std::string Text() { return cursor_.Next(); }
  long long Decimal() { return ParseDecimal(cursor_.Next()); }
  unsigned long long Hex() { return ParseHex(cursor_.Next()); }
  // Where the next field starts in the sentence.
  size_t Position() const { return cursor_.Position(); }
  std::string_view Sentence() const { return text_; }

 private:
  std::string_view text_;
  FieldCursor cursor_;
  int status_ = 0;
};

// "$PQEL" + number + "," + argument, before its checksum.
inline std::string CommandBody(int number, int argument) {
  return "$PQEL" + std::to_string(number) + "," + std::to_string(argument);
}

inline uint16_t Low16(long long value) { return static_cast<uint16_t>(value & 0xFFFF); }

inline constexpr size_t kShortField = 9;
inline constexpr size_t kLongField = 49;

}  // namespace mzt
