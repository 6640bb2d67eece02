#include "shell/StallMeter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace mzt {
namespace {

constexpr int kPeriodMs = 10;

}  // namespace

bool StallMeter::Enabled() {
  const char* value = std::getenv("MZT_UI_STALL_METER");
  return value && std::string(value) == "1";
}

StallMeter::StallMeter() : last_(Clock::now()) { Start(kPeriodMs); }

StallMeter::~StallMeter() {
  Stop();
  std::fprintf(stderr, "longest UI stall: %.1f ms\n", std::max(longestOverallMs_, longestMs_));
}

void StallMeter::Notify() {
  Clock::time_point now = Clock::now();
  double late = std::chrono::duration<double, std::milli>(now - last_).count() - kPeriodMs;
  last_ = now;
  longestMs_ = std::max(longestMs_, late);
}

double StallMeter::TakeLongest() {
  // The time since the last tick counts too: the thread may be stalled now.
  double pending = std::chrono::duration<double, std::milli>(Clock::now() - last_).count() - kPeriodMs;
  double longest = std::max(longestMs_, pending);
  longestOverallMs_ = std::max(longestOverallMs_, longest);
  longestMs_ = 0.0;
  return longest;
}

}  // namespace mzt
