#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/MessageCatalogue.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// Filled once at the start, only read afterwards.
MessageCatalogue& Catalogue() {
  static MessageCatalogue catalogue;
  return catalogue;
}

// "zh_TW": a locale variable's language as gettext names it (LANG=zh_TW.UTF-8
// as under Wine's shell), else the user's UI language ("zh-TW").
std::string UserLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (!value || !*value) continue;
    std::string name = value;
    return name.substr(0, name.find_first_of(".@"));
  }
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (::LCIDToLocaleName(MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) == 0)
    return {};
  std::string language = WideToUtf8(name);
  for (char& c : language)
    if (c == '-') c = '_';
  return language;
}

}  // namespace

void UseLanguage(Language language) {
  Catalogue().clear();
  if (language == Language::kEnglish) return;
  auto program = GetModuleDirectory();
  std::string name = UserLanguage();
  if (!program || name.empty()) return;
  // "zh_TW", then the language alone ("zh").
  for (const std::string& tried : {name, name.substr(0, name.find('_'))}) {
    std::ifstream file(*program / "locale" / tried / "LC_MESSAGES" / "mzt.mo", std::ios::binary);
    if (!file) continue;
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto catalogue = ParseMessageCatalogue(bytes);
    if (catalogue) Catalogue() = std::move(catalogue).Value();
    return;
  }
}

const char* Tr(const char* english) {
  auto found = Catalogue().find(english);
  return found == Catalogue().end() ? english : found->second.c_str();
}

std::wstring TrW(const char* english) { return Utf8ToWide(Tr(english)); }

}  // namespace mzt
