#pragma once
// Auto-reset event: Set() releases one waiter (or the next Wait), and a
// successful wait clears it again.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace mzt {

class AutoResetEvent {
 public:
  void Set();
  void Reset();
  // True when the event was signalled within the time-out; clears it.
  bool Wait(std::chrono::milliseconds timeout);
  bool IsSet() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

}  // namespace mzt
