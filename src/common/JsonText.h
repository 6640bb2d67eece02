#pragma once
// The JSON that `mzt ports --json` and `mzt query --json` print and that a
// recorded session is written in: objects of strings, integers, booleans and
// lists of strings, one per line; the reader of such lines; and text escaped
// for a terminal.

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"

namespace mzt {

// Text from the device or the server made harmless for a terminal and valid
// UTF-8: each control character (C0, DEL, C1) written as \n, \r, \t or
// \u00XX, line breaks kept as they are when `keepLineBreaks` (the program's
// own messages of several lines); a byte that is not UTF-8 becomes U+FFFD.
std::string EscapeControls(std::string_view text, bool keepLineBreaks = false);

// A JSON string: quoted, escaped, and valid UTF-8 whatever the bytes were
// (a byte that is not UTF-8 becomes U+FFFD).
std::string JsonQuoted(std::string_view text);

// Bytes as a JSON string of which each character, U+0000 to U+00FF, is one
// byte: printable ASCII as it is, every other byte as \u00XX. Sentences stay
// readable and raw bytes survive.
std::string JsonBytes(std::span<const uint8_t> bytes);
// The bytes back from such a string as the reader decoded it (UTF-8); a
// character beyond U+00FF is not a byte and fails.
bool BytesFromJsonText(std::string_view text, std::string& bytes);

class JsonObject {
 public:
  JsonObject& Add(std::string_view name, std::string_view text);
  JsonObject& Add(std::string_view name, const std::string& text) { return Add(name, std::string_view(text)); }
  JsonObject& Add(std::string_view name, const std::vector<std::string>& texts);
  JsonObject& AddBytes(std::string_view name, std::span<const uint8_t> bytes);
  JsonObject& Add(std::string_view name, const char* text) { return Add(name, std::string_view(text)); }
  JsonObject& Add(std::string_view name, int64_t number);
  JsonObject& AddFlag(std::string_view name, bool value);
  JsonObject& Add(std::string_view name, const std::vector<JsonObject>& items);
  std::string Text() const { return "{" + members_ + "}"; }

 private:
  JsonObject& Member(std::string_view name, const std::string& value);
  std::string members_;
};

// "[\n  {...},\n  {...}\n]", or "[]".
std::string JsonArray(const std::vector<JsonObject>& items);

// One value of an object read back: a string (decoded to UTF-8), a whole
// number, a flag or a list of strings.
struct JsonValue {
  enum class Kind { kText, kNumber, kFlag, kList } kind = Kind::kText;
  std::string text;
  int64_t number = 0;
  std::vector<std::string> list;
};
using JsonFields = std::map<std::string, JsonValue, std::less<>>;

// Reads one object of the kinds above; fails (kFormat) on anything else.
Result<JsonFields> ParseJsonObject(std::string_view line);

}  // namespace mzt
