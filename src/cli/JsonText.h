#pragma once
// The JSON that `mzt ports --json` and `mzt query --json` print: objects of
// strings, integers and booleans, one per line; and text escaped for a terminal.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mzt {

// Text from the device or the server made harmless for a terminal and valid
// UTF-8: each control character (C0, DEL, C1) written as \n, \r, \t or
// \u00XX, line breaks kept as they are when `keepLineBreaks` (the program's
// own messages of several lines); a byte that is not UTF-8 becomes U+FFFD.
std::string EscapeControls(std::string_view text, bool keepLineBreaks = false);

// A JSON string: quoted, escaped, and valid UTF-8 whatever the bytes were
// (a byte that is not UTF-8 becomes U+FFFD).
std::string JsonQuoted(std::string_view text);

class JsonObject {
 public:
  JsonObject& Add(std::string_view name, std::string_view text);
  JsonObject& Add(std::string_view name, const char* text) { return Add(name, std::string_view(text)); }
  JsonObject& Add(std::string_view name, int64_t number);
  JsonObject& AddFlag(std::string_view name, bool value);
  std::string Text() const { return "{" + members_ + "}"; }

 private:
  JsonObject& Member(std::string_view name, const std::string& value);
  std::string members_;
};

// "[\n  {...},\n  {...}\n]", or "[]".
std::string JsonArray(const std::vector<JsonObject>& items);

}  // namespace mzt
