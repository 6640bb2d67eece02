#pragma once

#include <atomic>

#include "devicelink/MztCmd.h"

namespace mzt {

// Deletes a device file by its location value.
class Cmd996 : public CMZTCmd {
 public:
  Cmd996() : CMZTCmd(996) {}
  bool SetLocation(int location);
  // The identifier the device must echo; does not compose.
  void SetExpectedIdentifier(int identifier) { expected_ = identifier; }
  void Build() override;
  bool ParseReply(std::span<const uint8_t> sentence) override;
  Delay ReplyTimeout() const override { return Delay::kReply996; }

 private:
  std::atomic<int> location_{0};
  std::atomic<int> expected_{-1};
};

}  // namespace mzt
