#pragma once

#include "devicelink/MztCmd.h"

namespace mzt {

// Clears the user's POIs in the device.
class Cmd109 : public CMZTCmd {
 public:
  Cmd109() : CMZTCmd(109) { Build(); }
  void Build() override;
  bool ParseReply(std::span<const uint8_t> sentence) override;
  Delay ReplyTimeout() const override { return Delay::kReply109; }
};

}  // namespace mzt
