#include "common/CameraRecord.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
