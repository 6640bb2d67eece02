#pragma once
// A compiled message catalogue (the .mo format msgfmt writes): the English
// texts and their translations. Read where the C library has no gettext.

#include <string>
#include <string_view>
#include <unordered_map>

#include "common/Result.h"

namespace mzt {

using MessageCatalogue = std::unordered_map<std::string, std::string>;

// kFormat when the bytes are no catalogue or a table points outside them.
// The header entry (the empty text) and untranslated entries are left out.
Result<MessageCatalogue> ParseMessageCatalogue(std::string_view bytes);

}  // namespace mzt
