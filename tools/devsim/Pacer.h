#pragma once
// Line-rate pacing: how many received bytes the device may take now so that
// it takes no more than a given number per second. A short burst of credit
// (10 ms worth) lets it take small pieces without waiting for each byte.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace mzt::devsim {

class Pacer {
 public:
  using Clock = std::chrono::steady_clock;

  // 0 bytes per second: no pacing.
  explicit Pacer(uint32_t bytesPerSecond = 0) : rate_(bytesPerSecond) {}

  bool Active() const { return rate_ > 0; }
  // Bytes that may be taken at `now`, at most `wanted`.
  size_t Allowance(Clock::time_point now, size_t wanted);
  void Took(size_t count);
  // How long until at least one byte may be taken.
  std::chrono::microseconds UntilNextByte(Clock::time_point now);

 private:
  void Refill(Clock::time_point now);

  uint32_t rate_;
  double credit_ = 0.0;
  Clock::time_point last_{};
  bool started_ = false;
};

}  // namespace mzt::devsim
