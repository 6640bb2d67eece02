#pragma once

#include <chrono>

namespace mzt::devsim {

// A wait for poll(): whole milliseconds, rounded up so that a short wait
// never becomes a busy loop, and never negative.
inline int PollTimeout(std::chrono::microseconds timeout) {
  if (timeout.count() <= 0) return 0;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
  return ms > 60000 ? 60000 : static_cast<int>(ms);
}

}  // namespace mzt::devsim
