#pragma once
// The JSON that `mzt ports --json` and `mzt query --json` print: objects of
// strings, integers and booleans, one per line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mzt {

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
