#pragma once

#include <atomic>
#include <functional>

#include "platform/Clock.h"

namespace mzt::test {

// Time that moves only when someone sleeps on it; a hook sees every sleep.
class FakeClock : public IClock {
 public:
  TimePoint Now() override { return TimePoint(std::chrono::milliseconds(now_.load())); }
  void Sleep(std::chrono::milliseconds duration) override {
    now_ += duration.count();
    if (onSleep) onSleep(duration);
  }
  long long ElapsedMs() const { return now_.load(); }
  std::function<void(std::chrono::milliseconds)> onSleep;

 private:
  std::atomic<long long> now_{0};
};

}  // namespace mzt::test
