#include "cli/JsonText.h"

#include <cstdio>

namespace mzt {
namespace {

// Length of the valid UTF-8 sequence at `at`, 0 when there is none.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                  : (lead & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(at + i) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
  static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

}  // namespace

std::string EscapeControls(std::string_view text, bool keepLineBreaks) {
  std::string out;
  auto escape = [&](unsigned char c) {
    if (c == '\n' && keepLineBreaks) {
      out += '\n';
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    }
  };
  for (size_t at = 0; at < text.size();) {
    size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    auto lead = static_cast<unsigned char>(text[at]);
    if (length == 1 && (lead < 0x20 || lead == 0x7F)) {
      escape(lead);
    } else if (lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0) {
      escape(static_cast<unsigned char>(text[at + 1]));  // U+0080..U+009F
    } else {
      out.append(text.substr(at, length));
    }
    at += length;
  }
  return out;
}

std::string JsonQuoted(std::string_view text) {
  std::string quoted;
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return "\"" + EscapeControls(quoted) + "\"";
}

JsonObject& JsonObject::Member(std::string_view name, const std::string& value) {
  if (!members_.empty()) members_ += ", ";
  members_ += JsonQuoted(name) + ": " + value;
  return *this;
}

JsonObject& JsonObject::Add(std::string_view name, std::string_view text) {
  return Member(name, JsonQuoted(text));
}

JsonObject& JsonObject::Add(std::string_view name, int64_t number) {
  return Member(name, std::to_string(number));
}

JsonObject& JsonObject::AddFlag(std::string_view name, bool value) {
  return Member(name, value ? "true" : "false");
}

std::string JsonArray(const std::vector<JsonObject>& items) {
  if (items.empty()) return "[]";
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? ",\n  " : "\n  ") + items[i].Text();
  return out + "\n]";
}

}  // namespace mzt
