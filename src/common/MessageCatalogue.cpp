#include "common/MessageCatalogue.h"

#include <cstdint>

namespace mzt {
namespace {

constexpr uint32_t kMagic = 0x950412de;

Error Broken(const std::string& why) { return Error{ErrorCode::kFormat, why}.With("not a message catalogue"); }

}  // namespace

Result<MessageCatalogue> ParseMessageCatalogue(std::string_view bytes) {
  auto word = [&](size_t at, bool swapped) -> uint32_t {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
      auto byte = static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i]));
      value |= byte << (8 * (swapped ? 3 - i : i));
    }
    return value;
  };
  if (bytes.size() < 20) return Broken("too short");
  // The writer's byte order: the magic number reads right in one of the two.
  bool swapped = word(0, false) != kMagic;
  if (word(0, swapped) != kMagic) return Broken("no magic number");
  if (word(4, swapped) >> 16 != 0) return Broken("unknown major revision");
  const size_t count = word(8, swapped);
  const size_t originals = word(12, swapped);
  const size_t translations = word(16, swapped);
  auto text = [&](size_t table, size_t index) -> Result<std::string_view> {
    size_t entry = table + 8 * index;
    if (table > bytes.size() || index > (bytes.size() - table) / 8 || bytes.size() - entry < 8)
      return Broken("a table runs past the end");
    size_t length = word(entry, swapped);
    size_t offset = word(entry + 4, swapped);
    if (offset > bytes.size() || length >= bytes.size() - offset) return Broken("a text runs past the end");
    return bytes.substr(offset, length);
  };
  MessageCatalogue catalogue;
  for (size_t i = 0; i < count; ++i) {
    auto english = text(originals, i);
    if (!english) return std::move(english).TakeError();
    auto translated = text(translations, i);
    if (!translated) return std::move(translated).TakeError();
    if (english.Value().empty() || translated.Value().empty()) continue;
    catalogue.emplace(english.Value(), translated.Value());
  }
  return catalogue;
}

}  // namespace mzt
