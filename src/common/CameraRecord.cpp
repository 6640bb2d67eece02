#include "common/CameraRecord.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "common/ByteSwap.h"

namespace mzt {
namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
float LeFloat(const uint8_t* p) { return std::bit_cast<float>(Le32(p)); }

}  // namespace

void CameraRecord::ConvertInPlace(uint8_t* p) { ConvertInPlace(p, 1); }

void CameraRecord::ConvertInPlace(uint8_t* p, size_t count) {
  // Word by word: the record is nine 32-bit words, each one 32-bit field
  // (reversed) or two 16-bit fields (each swapped; the camera ID's halves
  // are two such fields).
  const auto whole = [](uint8_t* at) {
    uint32_t v;
    std::memcpy(&v, at, 4);
    v = SwapBytes32(v);
    std::memcpy(at, &v, 4);
  };
  const auto halves = [](uint8_t* at) {
    uint32_t v;
    std::memcpy(&v, at, 4);
    v = ((v & 0x00FF00FFu) << 8) | ((v >> 8) & 0x00FF00FFu);
    std::memcpy(at, &v, 4);
  };
  for (size_t r = 0; r < count; ++r, p += kSize) {
    whole(p + 0);    // camera latitude
    whole(p + 4);    // camera longitude
    whole(p + 8);    // warning latitude
    whole(p + 12);   // warning longitude
    halves(p + 16);  // warning heading, camera heading
    whole(p + 20);   // speed limit
    halves(p + 24);  // record value, camera ID low half
    halves(p + 28);  // camera ID high half, voice code
    halves(p + 32);  // angle code, warning distance
  }
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
