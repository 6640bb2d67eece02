#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/TextCodec.h"

namespace mzt {
namespace {

// Converts with iconv; an input sequence that does not convert is replaced by
// `replacement` (already in the target encoding) and skipped by one byte or
// one unit of `inputUnit` bytes.
std::string Convert(const char* to, const char* from, std::string_view input, size_t inputUnit,
                    std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string output;
  std::vector<char> buffer(4 * input.size() + 16);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  while (inLeft > 0) {
    char* out = buffer.data();
    size_t outLeft = buffer.size();
    size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
    output.append(buffer.data(), buffer.size() - outLeft);
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
      output.append(replacement);
      size_t skip = std::min(inLeft, inputUnit);
      in += skip;
      inLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return output;
}

std::wstring FromUtf32(const std::string& bytes) {
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
  return text;
}

std::string_view AsBytes(std::wstring_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)};
}

const std::string kReplacementUtf32 = [] {
  wchar_t c = 0xFFFD;
  return std::string(reinterpret_cast<const char*>(&c), sizeof c);
}();

}  // namespace

std::wstring AnsiToWide(std::string_view text) {
  return FromUtf32(Convert("WCHAR_T", "CP950", text, 1, kReplacementUtf32));
}

std::string WideToAnsi(std::wstring_view text) {
  return Convert("CP950", "WCHAR_T", AsBytes(text), sizeof(wchar_t), "?");
}

std::string WideToUtf8(std::wstring_view text) {
  return Convert("UTF-8", "WCHAR_T", AsBytes(text), sizeof(wchar_t), "\xEF\xBF\xBD");
}

std::wstring Utf8ToWide(std::string_view text) {
  return FromUtf32(Convert("WCHAR_T", "UTF-8", text, 1, kReplacementUtf32));
}

}  // namespace mzt
