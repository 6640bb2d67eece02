#include "common/JsonText.h"

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

JsonObject& JsonObject::Add(std::string_view name, const std::vector<std::string>& texts) {
  std::string list;
  for (const std::string& text : texts) list += (list.empty() ? "" : ", ") + JsonQuoted(text);
  return Member(name, "[" + list + "]");
}

JsonObject& JsonObject::Add(std::string_view name, const std::vector<JsonObject>& items) {
  return Member(name, JsonArray(items));
}

JsonObject& JsonObject::AddBytes(std::string_view name, std::span<const uint8_t> bytes) {
  return Member(name, JsonBytes(bytes));
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

std::string JsonBytes(std::span<const uint8_t> bytes) {
  std::string out = "\"";
  for (uint8_t b : bytes) {
    if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b >= 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
    } else if (b == '\r' || b == '\n') {
      out += b == '\r' ? "\\r" : "\\n";
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
      out += escaped;
    }
  }
  return out + "\"";
}

bool BytesFromJsonText(std::string_view text, std::string& bytes) {
  bytes.clear();
  for (size_t at = 0; at < text.size();) {
    auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
      ++at;
      continue;
    }
    // U+0080..U+00FF are the two-byte forms led by 0xC2 and 0xC3.
    if (Utf8SequenceLength(text, at) != 2 || lead > 0xC3) return false;
    bytes += static_cast<char>((lead & 0x03) << 6 | (static_cast<unsigned char>(text[at + 1]) & 0x3F));
    at += 2;
  }
  return true;
}

namespace {

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  Result<JsonFields> Object() {
    JsonFields fields;
    if (!Take('{')) return Fail("an object starts with {");
    if (Take('}')) return End(std::move(fields));
    do {
      std::string name;
      if (!String(name) || !Take(':')) return Fail("a member is \"name\": value");
      JsonValue value;
      if (!Value(value)) return Fail("the value of \"" + name + "\" is not one this reader takes");
      fields[name] = std::move(value);
    } while (Take(','));
    if (!Take('}')) return Fail("an object ends with }");
    return End(std::move(fields));
  }

 private:
  Result<JsonFields> End(JsonFields fields) {
    Skip();
    if (at_ != text_.size()) return Fail("text after the object");
    return fields;
  }
  Error Fail(const std::string& why) const {
    return Error{ErrorCode::kFormat, why + " (at character " + std::to_string(at_ + 1) + ")"};
  }
  void Skip() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r')) ++at_;
  }
  bool Take(char c) {
    Skip();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool Word(std::string_view word) {
    Skip();
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  static void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | code >> 6);
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | code >> 12);
      out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (at_ < text_.size() && text_[at_] != '"') {
      char c = text_[at_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      char e = text_[at_++];
      static constexpr std::string_view kPlain = "\"\\/bfnrt", kMeant = "\"\\/\b\f\n\r\t";
      if (size_t k = kPlain.find(e); k != std::string_view::npos) {
        out += kMeant[k];
      } else if (e == 'u' && at_ + 4 <= text_.size()) {
        uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
          char h = text_[at_++];
          int digit = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10
                      : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
          if (digit < 0) return false;
          code = code << 4 | static_cast<uint32_t>(digit);
        }
        // The writer escapes only single code units; a surrogate stands for itself.
        AppendUtf8(out, code);
      } else {
        return false;
      }
    }
    return Take('"');
  }
  bool Value(JsonValue& value) {
    Skip();
    if (at_ >= text_.size()) return false;
    char c = text_[at_];
    if (c == '"') return String(value.text);
    if (c == '[') {
      value.kind = JsonValue::Kind::kList;
      ++at_;
      if (Take(']')) return true;
      do {
        std::string item;
        if (!String(item)) return false;
        value.list.push_back(std::move(item));
      } while (Take(','));
      return Take(']');
    }
    if (Word("true") || Word("false")) {
      value.kind = JsonValue::Kind::kFlag;
      value.number = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
      return true;
    }
    value.kind = JsonValue::Kind::kNumber;
    bool negative = c == '-';
    if (negative) ++at_;
    size_t digits = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9' && digits < 18) {
      value.number = value.number * 10 + (text_[at_++] - '0');
      ++digits;
    }
    if (negative) value.number = -value.number;
    return digits > 0 && (at_ == text_.size() || (text_[at_] < '0' || text_[at_] > '9'));
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

Result<JsonFields> ParseJsonObject(std::string_view line) { return JsonReader(line).Object(); }

}  // namespace mzt
