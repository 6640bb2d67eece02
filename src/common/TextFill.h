#pragma once
// Fills the numbered places {1}, {2}, ... of a (translated) text with values,
// so that a translation may put them in its own order.

#include <initializer_list>
#include <string>
#include <string_view>

namespace mzt {

std::string Fill(std::string_view text, std::initializer_list<std::string_view> values);
std::wstring Fill(std::wstring_view text, std::initializer_list<std::wstring_view> values);

}  // namespace mzt
