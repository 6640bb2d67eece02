#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "platform/TextCodec.h"

namespace mzt {
namespace {

constexpr UINT kTraditionalChinese = 950;
constexpr wchar_t kReplacement = 0xFFFD;

std::wstring ToWide(UINT codePage, std::string_view text, DWORD flags) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  int count = ::MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
  if (count <= 0) return {};
  std::wstring wide(static_cast<size_t>(count), L'\0');
  ::MultiByteToWideChar(codePage, flags, text.data(), length, wide.data(), count);
  return wide;
}

}  // namespace

std::wstring AnsiToWide(std::string_view text) {
  std::wstring whole = ToWide(kTraditionalChinese, text, MB_ERR_INVALID_CHARS);
  if (!whole.empty() || text.empty()) return whole;
  // Something does not convert: go character by character, a byte that
  // starts no valid character becoming U+FFFD.
  std::wstring wide;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t width = ::IsDBCSLeadByteEx(kTraditionalChinese, static_cast<BYTE>(text[pos])) &&
                           pos + 1 < text.size()
                       ? 2
                       : 1;
    std::wstring one = ToWide(kTraditionalChinese, text.substr(pos, width), MB_ERR_INVALID_CHARS);
    if (one.empty()) {
      wide.push_back(kReplacement);
      pos += 1;
    } else {
      wide += one;
      pos += width;
    }
  }
  return wide;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  // No best-fit look-alikes: a character without a form becomes '?'.
  int count = ::WideCharToMultiByte(kTraditionalChinese, WC_NO_BEST_FIT_CHARS, text.data(), length,
                                    nullptr, 0, "?", nullptr);
  if (count <= 0) return {};
  std::string ansi(static_cast<size_t>(count), '\0');
  ::WideCharToMultiByte(kTraditionalChinese, WC_NO_BEST_FIT_CHARS, text.data(), length,
                        ansi.data(), count, "?", nullptr);
  return ansi;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  int count = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return {};
  std::string utf8(static_cast<size_t>(count), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), count, nullptr, nullptr);
  return utf8;
}

std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text, 0); }

}  // namespace mzt
