#include "devicelink/Cmd114.h"

#include <charconv>
#include <string>

#include "devicelink/ReplyFields.h"

namespace mzt {

namespace {

// A decimal number of radians read as a 32-bit float, in degrees.
// Locale-independent; a field that is not a number reads as 0.
float RadiansToDegrees(const std::string& field) {
  const char* first = field.data();
  const char* last = field.data() + field.size();
  if (first != last && *first == '+') ++first;
  float radians = 0.0f;
  if (std::from_chars(first, last, radians).ec != std::errc()) radians = 0.0f;
  return static_cast<float>(radians * Cmd114::kDegreesPerRadian);
}

}  // namespace

bool Cmd114::SetIndex(int index) {
  index_ = index;
  Build();
  return true;
}

void Cmd114::Build() { ComposeText(CommandBody(114, index_)); }

bool Cmd114::ParseReply(std::span<const uint8_t> sentence) {
  ReplyFields fields(sentence, kLongField);
  if (fields.Status() != 1) return false;
  int echo = static_cast<int>(fields.Decimal());
  // A reply for another index is ignored and the wait goes on.
  if (echo != index_) return false;
  CameraRecord record;
  float warningLatitude = RadiansToDegrees(fields.Text());
  float warningLongitude = RadiansToDegrees(fields.Text());
  float cameraLatitude = RadiansToDegrees(fields.Text());
  float cameraLongitude = RadiansToDegrees(fields.Text());
  record.SetWarningPoint({warningLatitude, warningLongitude});
  record.SetCameraPoint({cameraLatitude, cameraLongitude});
  record.SetWarningHeading(Low16(fields.Decimal()));
  record.SetCameraHeading(Low16(fields.Decimal()));
  record.SetSpeedLimit(static_cast<float>(fields.Decimal()));
  record.SetRecordValue(Low16(static_cast<long long>(fields.Hex())));
  uint32_t low = Low16(static_cast<long long>(fields.Hex()));
  uint32_t high = Low16(static_cast<long long>(fields.Hex()));
  record.SetCameraId(high * 65536u + low);
  record.SetVoiceCode(Low16(fields.Decimal()));
  record.SetAngleCode(Low16(fields.Decimal()));
  record.SetWarningDistance(Low16(fields.Decimal()));
  {
    std::lock_guard lock(mutex_);
    record_ = record;
  }
  ReplyEvent().Set();
  return true;
}

CameraRecord Cmd114::Record() const {
  std::lock_guard lock(mutex_);
  return record_;
}

}  // namespace mzt
