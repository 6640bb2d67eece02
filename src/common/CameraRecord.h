#pragma once
// One speed-camera record: 36 bytes in the database file (little-endian) and
// in the device (big-endian). The device's own POIs use the same record.

#include <array>
#include <cstdint>
#include <span>

namespace mzt {

struct GeoPoint {
  float latitude = 0.0f;   // degrees
  float longitude = 0.0f;  // degrees
};

class CameraRecord {
 public:
  static constexpr size_t kSize = 36;

  // All fields zero, the converted copy zeroed.
  void Initialise() { *this = CameraRecord(); }

  // Fills the fields from 36 file bytes and the converted copy from them:
  // big-endian when `swap` is set (the camera ID's two 16-bit halves each
  // swapped in place), an unchanged copy otherwise.
  void Convert(std::span<const uint8_t, kSize> fileBytes, bool swap);
  // The 36 file bytes of the fields, little-endian: Convert's inverse.
  std::array<uint8_t, kSize> FileBytes() const;
  // Converts 36 little-endian file bytes into device bytes in place.
  static void ConvertInPlace(uint8_t* bytes);
  // The same for `count` records one after the other.
  static void ConvertInPlace(uint8_t* bytes, size_t count);

  float SpeedLimit() const { return speedLimit_; }
  void SetSpeedLimit(float value) { speedLimit_ = value; }
  uint16_t CameraHeading() const { return cameraHeading_; }
  void SetCameraHeading(uint16_t value) { cameraHeading_ = value; }
  uint16_t WarningHeading() const { return warningHeading_; }
  void SetWarningHeading(uint16_t value) { warningHeading_ = value; }
  uint16_t AngleCode() const { return angleCode_; }
  void SetAngleCode(uint16_t value) { angleCode_ = value; }
  uint16_t RecordValue() const { return recordValue_; }  // not exported
  void SetRecordValue(uint16_t value) { recordValue_ = value; }
  uint32_t CameraId() const { return cameraId_; }
  void SetCameraId(uint32_t value) { cameraId_ = value; }
  uint16_t VoiceCode() const { return voiceCode_; }
  void SetVoiceCode(uint16_t value) { voiceCode_ = value; }
  uint16_t WarningDistance() const { return warningDistance_; }
  void SetWarningDistance(uint16_t value) { warningDistance_ = value; }
  GeoPoint WarningPoint() const { return warningPoint_; }
  void SetWarningPoint(GeoPoint point) { warningPoint_ = point; }
  GeoPoint CameraPoint() const { return cameraPoint_; }
  void SetCameraPoint(GeoPoint point) { cameraPoint_ = point; }
  const std::array<uint8_t, kSize>& Converted() const { return converted_; }

 private:
  float speedLimit_ = 0.0f;
  uint16_t cameraHeading_ = 0;
  uint16_t warningHeading_ = 0;
  uint16_t angleCode_ = 0;
  uint16_t recordValue_ = 0;
  uint32_t cameraId_ = 0;
  uint16_t voiceCode_ = 0;
  uint16_t warningDistance_ = 0;
  GeoPoint warningPoint_;
  GeoPoint cameraPoint_;
  std::array<uint8_t, kSize> converted_{};
};

}  // namespace mzt
