#pragma once

#include <atomic>

#include "devicelink/MztCmd.h"

namespace mzt {

// Reads one entry of the device's file table.
class Cmd995 : public CMZTCmd {
 public:
  Cmd995() : CMZTCmd(995) {}
  // Refuses indexes outside 1 to 65535.
  bool SetIndex(int index);
  void Build() override;
  bool ParseReply(std::span<const uint8_t> sentence) override;
  Delay ReplyTimeout() const override { return Delay::kReply995; }
  int FileIdentifier() const { return fileIdentifier_; }
  int LocationValue() const { return location_; }

 private:
  std::atomic<int> index_{1};
  std::atomic<int> fileIdentifier_{-1};
  std::atomic<int> location_{0};
};

}  // namespace mzt
