#pragma once
// The device-information query and the results it keeps per selector.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "devicelink/MztCmd.h"

namespace mzt {

struct DeviceDatabaseVersion {
  int32_t number = 0;
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
};

class Cmd108 : public CMZTCmd {
 public:
  static constexpr size_t kMaxText = 19;  // version and device ID texts
  static constexpr int kMaxPoiCount = 99;

  // What a query asks for; the device has no selectors 5 and 6.
  enum Selector : int {
    kFirmwareVersion = 1,
    kDeviceId = 2,
    kPoiCount = 3,
    kDatabaseVersion = 4,
    kRegion = 7,
  };

  Cmd108() : CMZTCmd(108) {}

  // Refuses selectors above 7 (and below 0).
  bool SetSelector(int selector);
  // The exact-1.0.0.3 reply form: no alarm group in selector 3, a raw date in 4.
  void SetExactMode(bool exact) { exact_ = exact; }

  void Build() override;
  bool ParseReply(std::span<const uint8_t> sentence) override;
  Delay ReplyTimeout() const override { return Delay::kReply108; }

  std::string VersionText() const;
  std::string DeviceIdText() const;
  std::string RegionCode() const;
  int PoiCount() const;
  DeviceDatabaseVersion DatabaseVersion() const;

 private:
  bool DecodeParameters(class ReplyFields& fields);
  void DecodeDatabaseVersion(class ReplyFields& fields);

  std::atomic<int> selector_{0};
  std::atomic<bool> exact_{false};
  mutable std::mutex mutex_;  // a late reply may land while a caller reads
  std::string version_;
  std::string deviceId_;
  std::string region_;
  int poiCount_ = 0;
  DeviceDatabaseVersion database_;
};

}  // namespace mzt
