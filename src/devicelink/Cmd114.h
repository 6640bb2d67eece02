#pragma once

#include <atomic>
#include <mutex>

#include "common/CameraRecord.h"
#include "devicelink/MztCmd.h"

namespace mzt {

// Reads one of the user's POIs.
class Cmd114 : public CMZTCmd {
 public:
  // Radians to degrees, as the device's coordinates are converted.
  static constexpr double kDegreesPerRadian = 57.295780181884766;

  Cmd114() : CMZTCmd(114) {}
  bool SetIndex(int index);
  void Build() override;
  bool ParseReply(std::span<const uint8_t> sentence) override;
  Delay ReplyTimeout() const override { return Delay::kReply114; }
  CameraRecord Record() const;

 private:
  std::atomic<int> index_{0};
  mutable std::mutex mutex_;
  CameraRecord record_;
};

}  // namespace mzt
