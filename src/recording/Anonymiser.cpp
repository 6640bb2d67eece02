#include "recording/Anonymiser.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "devicelink/Checksum.h"

namespace mzt {
namespace {

// The replies that carry what is left out, by their first fields.
constexpr std::string_view kDeviceIdReply = "$LOG108,1,2,";
constexpr std::string_view kPoiReply = "$LOG114,1,";
constexpr int kPoiCoordinateFields = 4;  // warning point, then camera point

// The checksum's two digits again after the body changed; the end of the
// sentence ("*HH" and the line end) stays where it was.
void RemakeChecksum(std::string& sentence) {
  size_t star = sentence.rfind('*');
  if (star == std::string::npos || star + 3 > sentence.size() || sentence.empty() || sentence[0] != '$') return;
  uint8_t sum = XorBytes(std::span(reinterpret_cast<const uint8_t*>(sentence.data()) + 1, star - 1));
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", sum);
  sentence[star + 1] = digits[0];
  sentence[star + 2] = digits[1];
}

}  // namespace

void Anonymiser::Learn(const std::string& original) {
  if (original.empty()) return;
  if (std::any_of(standIns_.begin(), standIns_.end(), [&](const auto& p) { return p.first == original; }))
    return;
  // "ANON000001" for the first value of ten characters: the same length, so
  // that fixed-width readers take it as they took the original.
  std::string number = std::to_string(standIns_.size() + 1);
  std::string standIn = original.size() > number.size() + 4 ? "ANON" : "";
  standIn += std::string(original.size() - std::min(original.size(), standIn.size() + number.size()), '0');
  standIn += number;
  standIns_.emplace_back(original, standIn.substr(standIn.size() - std::min(standIn.size(), original.size())));
  // Longer values first, so that one that contains another is replaced whole.
  std::stable_sort(standIns_.begin(), standIns_.end(),
                   [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

std::string Anonymiser::Text(std::string text) const {
  for (const auto& [original, standIn] : standIns_) {
    for (size_t at = text.find(original); at != std::string::npos; at = text.find(original, at + standIn.size()))
      text.replace(at, original.size(), standIn);
  }
  return text;
}

std::string Anonymiser::Sentence(std::string bytes) {
  const std::string before = bytes;
  size_t star = bytes.rfind('*');
  if (bytes.starts_with(kDeviceIdReply) && star != std::string::npos)
    Learn(bytes.substr(kDeviceIdReply.size(), star - kDeviceIdReply.size()));
  if (bytes.starts_with(kPoiReply) && star != std::string::npos) {
    // After the index: the four coordinates, each zeroed digit by digit.
    size_t field = bytes.find(',', kPoiReply.size());
    for (int i = 0; i < kPoiCoordinateFields && field != std::string::npos && field < star; ++i) {
      size_t end = std::min(bytes.find(',', field + 1), star);
      for (size_t at = field + 1; at < end; ++at)
        if (bytes[at] >= '1' && bytes[at] <= '9') bytes[at] = '0';
      field = end < star ? end : std::string::npos;
    }
  }
  bytes = Text(std::move(bytes));
  if (bytes != before) RemakeChecksum(bytes);
  return bytes;
}

}  // namespace mzt
