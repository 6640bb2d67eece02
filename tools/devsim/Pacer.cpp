#include "devsim/Pacer.h"

#include <algorithm>
#include <cmath>

namespace mzt::devsim {

void Pacer::Refill(Clock::time_point now) {
  double burst = std::max(1.0, rate_ / 100.0);
  if (!started_) {
    started_ = true;
    last_ = now;
    credit_ = burst;
    return;
  }
  if (now <= last_) return;
  std::chrono::duration<double> elapsed = now - last_;
  credit_ = std::min(burst, credit_ + elapsed.count() * rate_);
  last_ = now;
}

size_t Pacer::Allowance(Clock::time_point now, size_t wanted) {
  if (!Active()) return wanted;
  Refill(now);
  return std::min(wanted, static_cast<size_t>(std::floor(credit_)));
}

void Pacer::Took(size_t count) {
  if (Active()) credit_ -= static_cast<double>(count);
}

std::chrono::microseconds Pacer::UntilNextByte(Clock::time_point now) {
  if (!Active()) return std::chrono::microseconds(0);
  Refill(now);
  if (credit_ >= 1.0) return std::chrono::microseconds(0);
  double seconds = (1.0 - credit_) / rate_;
  return std::chrono::microseconds(static_cast<long long>(std::ceil(seconds * 1e6)));
}

}  // namespace mzt::devsim
