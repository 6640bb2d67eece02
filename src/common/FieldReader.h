#pragma once
// Comma and asterisk field reader for device sentences and server answers.
// Works by length, never by NUL: a reply may carry raw bytes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mzt {

// Reads the field that starts at `pos` of `text`: up to ',', '*' or the end.
// Returns false when the text is used up (no field). On success `out` holds at
// most `maxLength` bytes of the field and `pos` points past its delimiter, or at
// the end of the text when the field ran to the end.
bool NextField(std::string_view text, size_t& pos, std::string& out,
               size_t maxLength = std::string::npos);

// Successive fields of one text, the way the replies are read.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view text, size_t maxLength = std::string::npos)
      : text_(text), maxLength_(maxLength) {}

  // The next field, or an empty text once the fields are used up.
  std::string Next();
  // Whether the last Next() found a field.
  bool LastFound() const { return lastFound_; }
  size_t Position() const { return pos_; }

 private:
  std::string_view text_;
  size_t maxLength_;
  size_t pos_ = 0;
  bool lastFound_ = false;
};

// Signed decimal with an optional sign, stopping at the first non-digit; an
// empty or non-numeric text reads as 0.
long long ParseDecimal(std::string_view text);
// Hexadecimal digits from the start, stopping at the first non-digit.
unsigned long long ParseHex(std::string_view text);

}  // namespace mzt
