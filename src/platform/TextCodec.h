#pragma once
// Text conversion between the device's and the server's 8-bit text (code page
// 950, Traditional Chinese), UTF-8 and the program's wide text.

#include <string>
#include <string_view>

namespace mzt {

// Code page 950 to wide text. Bytes that do not convert become U+FFFD; the
// result is never longer than the input.
std::wstring AnsiToWide(std::string_view text);
// Bounded form: writes at most `capacity` wide characters including the
// terminator; answers the count written including the terminator, 0 on
// failure or when `out` is null or `capacity` is 0.
size_t AnsiToWide(const char* text, wchar_t* out, size_t capacity);

// Wide text to code page 950; characters without a code-page-950 form become '?'.
std::string WideToAnsi(std::wstring_view text);

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

}  // namespace mzt
