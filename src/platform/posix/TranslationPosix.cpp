#include <libintl.h>

#include <clocale>
#include <filesystem>
#include <system_error>

#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

constexpr const char* kDomain = "mzt";

// The installed catalogues, else a build's own beside its programs.
fs::path CatalogueFolder() {
  auto program = GetModuleDirectory();
  if (!program) return "/usr/share/locale";
  std::error_code ec;
  fs::path installed = program->parent_path() / "share" / "locale";
  if (fs::exists(installed / "zh_TW" / "LC_MESSAGES" / "mzt.mo", ec)) return installed;
  return *program / "locale";
}

}  // namespace

void UseLanguage(Language language) {
  if (language == Language::kEnglish) {
    // Without a messages locale gettext answers the English text, and so does strerror.
    std::setlocale(LC_MESSAGES, "C");
    return;
  }
  std::setlocale(LC_ALL, "");
  // Numbers are written and read with a point whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  bindtextdomain(kDomain, CatalogueFolder().c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
}

const char* Tr(const char* english) { return dgettext(kDomain, english); }

std::wstring TrW(const char* english) { return Utf8ToWide(Tr(english)); }

}  // namespace mzt
