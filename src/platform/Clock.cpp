#include "platform/Clock.h"

#include <thread>

namespace mzt {

IClock::TimePoint SystemClock::Now() { return std::chrono::steady_clock::now(); }

void SystemClock::Sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

IClock& RealClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace mzt
