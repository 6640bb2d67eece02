#include "platform/TextCodec.h"

#include <algorithm>
#include <cwchar>

namespace mzt {

size_t AnsiToWide(const char* text, wchar_t* out, size_t capacity) {
  if (!out || capacity == 0 || !text) return 0;
  std::wstring wide = AnsiToWide(std::string_view(text));
  size_t count = std::min(wide.size(), capacity - 1);
  std::wmemcpy(out, wide.data(), count);
  out[count] = L'\0';
  return count + 1;
}

}  // namespace mzt
