#pragma once

#include <atomic>

#include "devicelink/MztCmd.h"

namespace mzt {

// Data upload mode: argument 0 queries it, 1 enters it.
class Cmd113 : public CMZTCmd {
 public:
  Cmd113() : CMZTCmd(113) {}
  // Refuses values other than 0 and 1.
  bool SetArgument(int argument);
  void Build() override;
  bool ParseReply(std::span<const uint8_t> sentence) override;
  Delay ReplyTimeout() const override { return Delay::kReply113; }
  int Value() const { return value_; }

 private:
  std::atomic<int> argument_{0};
  std::atomic<int> value_{0};
};

}  // namespace mzt
