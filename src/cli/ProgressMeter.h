#pragma once
// A progress line for the terminal: a bar, the amounts, the rate and the
// time left.

#include <chrono>
#include <cstdint>
#include <string>

namespace mzt {

class ProgressMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // A new range starts a new measurement.
  void Start(int64_t total, Clock::time_point now);
  void Update(int64_t done, Clock::time_point now) { done_ = done, last_ = now; }
  int64_t Total() const { return total_; }
  int64_t Done() const { return done_; }
  int Percent() const;

  // "[#####-----]  50%  512.0 KB / 1024.0 KB  100.0 KB/s  00:05 left"; the
  // amounts, rate and time left only when the meter counts bytes. Bytes
  // without a total (no Content-Length): "3.7 KB received  1.2 KB/s".
  std::string Render(int width = 30, bool bytes = true) const;

 private:
  int64_t total_ = 0;
  int64_t done_ = 0;
  Clock::time_point start_{};
  Clock::time_point last_{};
};

}  // namespace mzt
