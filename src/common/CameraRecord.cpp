#include "common/CameraRecord.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace mzt {
namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
float LeFloat(const uint8_t* p) { return std::bit_cast<float>(Le32(p)); }

void Swap16At(uint8_t* p, size_t offset) { std::swap(p[offset], p[offset + 1]); }
void Swap32At(uint8_t* p, size_t offset) {
  std::swap(p[offset], p[offset + 3]);
  std::swap(p[offset + 1], p[offset + 2]);
}

}  // namespace

void CameraRecord::ConvertInPlace(uint8_t* p) {
  Swap32At(p, 0);   // camera latitude
  Swap32At(p, 4);   // camera longitude
  Swap32At(p, 8);   // warning latitude
  Swap32At(p, 12);  // warning longitude
  Swap16At(p, 16);  // warning heading
  Swap16At(p, 18);  // camera heading
  Swap32At(p, 20);  // speed limit
  Swap16At(p, 24);  // record value
  Swap16At(p, 26);  // camera ID: each half in place, as the device reads it
  Swap16At(p, 28);
  Swap16At(p, 30);  // voice code
  Swap16At(p, 32);  // angle code
  Swap16At(p, 34);  // warning distance
}

void CameraRecord::Convert(std::span<const uint8_t, kSize> b, bool swap) {
  const uint8_t* p = b.data();
  cameraPoint_ = {LeFloat(p + 0), LeFloat(p + 4)};
  warningPoint_ = {LeFloat(p + 8), LeFloat(p + 12)};
  warningHeading_ = Le16(p + 16);
  cameraHeading_ = Le16(p + 18);
  speedLimit_ = LeFloat(p + 20);
  recordValue_ = Le16(p + 24);
  cameraId_ = Le32(p + 26);
  voiceCode_ = Le16(p + 30);
  angleCode_ = Le16(p + 32);
  warningDistance_ = Le16(p + 34);
  std::copy(b.begin(), b.end(), converted_.begin());
  if (swap) ConvertInPlace(converted_.data());
}

}  // namespace mzt
