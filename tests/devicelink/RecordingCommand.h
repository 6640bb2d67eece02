#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "devicelink/MztCmd.h"

namespace mzt::test {

// Keeps every reply routed to it and signals for each.
class RecordingCommand : public CMZTCmd {
 public:
  explicit RecordingCommand(int number) : CMZTCmd(number) {}
  bool ParseReply(std::span<const uint8_t> sentence) override {
    {
      std::lock_guard lock(mutex_);
      replies_.emplace_back(sentence.begin(), sentence.end());
    }
    ReplyEvent().Set();
    return true;
  }
  Delay ReplyTimeout() const override { return Delay::kReply109; }
  std::vector<std::string> Replies() const {
    std::lock_guard lock(mutex_);
    return replies_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> replies_;
};

}  // namespace mzt::test
