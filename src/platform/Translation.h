#pragma once
// The program's own texts in the user's language. The English text in the
// code is the key; po/<language>.po holds a language's texts, compiled into
// <catalogue folder>/<language>/LC_MESSAGES/mzt.mo. The page's fixed Chinese
// wording, the device's and the server's texts are never looked up.
//
// The catalogue folder is the installed one (<program folder>/../share/locale)
// or, for a build that is not installed (and on Windows), <program folder>/locale.

#include <string>

namespace mzt {

enum class Language {
  kUser,     // the user's locale (LC_MESSAGES, LANGUAGE; on Windows the UI language); numbers stay "C"
  kEnglish,  // the English texts, for output that programs read (--json)
};

// Chooses the language of Tr() and of the system's error texts. Called once
// at the start, before any thread runs.
void UseLanguage(Language language);

// The chosen language's text for an English program text, or that text.
const char* Tr(const char* english);
std::wstring TrW(const char* english);

// Marks a text for the catalogue that is looked up later with Tr() (wxWidgets has N_).
constexpr const char* TrLater(const char* english) { return english; }

}  // namespace mzt
