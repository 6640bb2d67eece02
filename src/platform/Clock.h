#pragma once
// Time as the flows see it, so that waits can be faked in tests.

#include <chrono>

namespace mzt {

class IClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~IClock() = default;
  virtual TimePoint Now() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

class SystemClock final : public IClock {
 public:
  TimePoint Now() override;
  void Sleep(std::chrono::milliseconds duration) override;
};

// The process-wide real clock.
IClock& RealClock();

}  // namespace mzt
