#include "common/CameraRecord.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/ByteOrder.h"

namespace mzt {
namespace {

// Where each field starts in the file's 36 bytes.
enum Offset : size_t {
  kCameraLatitude = 0,
  kCameraLongitude = 4,
  kWarningLatitude = 8,
  kWarningLongitude = 12,
  kWarningHeading = 16,
  kCameraHeading = 18,
  kSpeedLimit = 20,
  kRecordValue = 24,
  kCameraId = 26,
  kVoiceCode = 30,
  kAngleCode = 32,
  kWarningDistance = 34,
};

float LeFloat(const uint8_t* p) { return std::bit_cast<float>(Le32(p)); }
void PutLeFloat(uint8_t* p, float value) { PutLe32(p, std::bit_cast<uint32_t>(value)); }

}  // namespace

void CameraRecord::ConvertInPlace(uint8_t* p) { ConvertInPlace(p, 1); }

void CameraRecord::ConvertInPlace(uint8_t* p, size_t count) {
  // Word by word: the record is nine 32-bit words, each one 32-bit field
  // (reversed) or two 16-bit fields (each swapped; the camera ID's halves
  // are two such fields).
  constexpr bool kWholeWord[9] = {
      true,   // camera latitude
      true,   // camera longitude
      true,   // warning latitude
      true,   // warning longitude
      false,  // warning heading, camera heading
      true,   // speed limit
      false,  // record value, camera ID low half
      false,  // camera ID high half, voice code
      false,  // angle code, warning distance
  };
  size_t done = 0;
#if defined(__SSE2__)
  // Four records are nine 16-byte vectors. Every 16-bit half is swapped;
  // a whole word then also has its halves exchanged, chosen by a mask.
  alignas(16) uint32_t masks[36];
  for (size_t i = 0; i < 36; ++i) masks[i] = kWholeWord[i % 9] ? 0xFFFFFFFFu : 0u;
  for (; done + 4 <= count; done += 4, p += 4 * kSize) {
    for (size_t k = 0; k < 9; ++k) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      __m128i halves = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
      __m128i whole = _mm_or_si128(_mm_slli_epi32(halves, 16), _mm_srli_epi32(halves, 16));
      __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(masks + 4 * k));
      __m128i out = _mm_xor_si128(halves, _mm_and_si128(_mm_xor_si128(halves, whole), mask));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * k), out);
    }
  }
#endif
  for (; done < count; ++done, p += kSize) {
    for (size_t w = 0; w < 9; ++w) {
      uint32_t v;
      std::memcpy(&v, p + 4 * w, 4);
      v = kWholeWord[w] ? SwapBytes32(v) : ((v & 0x00FF00FFu) << 8) | ((v >> 8) & 0x00FF00FFu);
      std::memcpy(p + 4 * w, &v, 4);
    }
  }
}

void CameraRecord::Convert(std::span<const uint8_t, kSize> b, bool swap) {
  const uint8_t* p = b.data();
  cameraPoint_ = {LeFloat(p + kCameraLatitude), LeFloat(p + kCameraLongitude)};
  warningPoint_ = {LeFloat(p + kWarningLatitude), LeFloat(p + kWarningLongitude)};
  warningHeading_ = Le16(p + kWarningHeading);
  cameraHeading_ = Le16(p + kCameraHeading);
  speedLimit_ = LeFloat(p + kSpeedLimit);
  recordValue_ = Le16(p + kRecordValue);
  cameraId_ = Le32(p + kCameraId);
  voiceCode_ = Le16(p + kVoiceCode);
  angleCode_ = Le16(p + kAngleCode);
  warningDistance_ = Le16(p + kWarningDistance);
  std::copy(b.begin(), b.end(), converted_.begin());
  if (swap) ConvertInPlace(converted_.data());
}

std::array<uint8_t, CameraRecord::kSize> CameraRecord::FileBytes() const {
  std::array<uint8_t, kSize> bytes{};
  uint8_t* p = bytes.data();
  PutLeFloat(p + kCameraLatitude, cameraPoint_.latitude);
  PutLeFloat(p + kCameraLongitude, cameraPoint_.longitude);
  PutLeFloat(p + kWarningLatitude, warningPoint_.latitude);
  PutLeFloat(p + kWarningLongitude, warningPoint_.longitude);
  PutLe16(p + kWarningHeading, warningHeading_);
  PutLe16(p + kCameraHeading, cameraHeading_);
  PutLeFloat(p + kSpeedLimit, speedLimit_);
  PutLe16(p + kRecordValue, recordValue_);
  PutLe32(p + kCameraId, cameraId_);
  PutLe16(p + kVoiceCode, voiceCode_);
  PutLe16(p + kAngleCode, angleCode_);
  PutLe16(p + kWarningDistance, warningDistance_);
  return bytes;
}

}  // namespace mzt
