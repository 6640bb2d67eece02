#include "common/TextFill.h"

namespace mzt {
namespace {

template <typename Char>
std::basic_string<Char> FillPlaces(std::basic_string_view<Char> text,
                                   std::initializer_list<std::basic_string_view<Char>> values) {
  std::basic_string<Char> out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // "{N}" with N one digit from 1 that names a value; anything else is kept.
    if (text[i] == Char('{') && i + 2 < text.size() && text[i + 2] == Char('}') && text[i + 1] >= Char('1') &&
        text[i + 1] <= Char('9') && static_cast<size_t>(text[i + 1] - Char('1')) < values.size()) {
      out += values.begin()[text[i + 1] - Char('1')];
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string Fill(std::string_view text, std::initializer_list<std::string_view> values) {
  return FillPlaces(text, values);
}

std::wstring Fill(std::wstring_view text, std::initializer_list<std::wstring_view> values) {
  return FillPlaces(text, values);
}

}  // namespace mzt
