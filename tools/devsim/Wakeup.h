#pragma once
// Wakes the device thread out of its waits: a request from another thread
// (stop, unplug, replug) must not wait for a time-out to be seen.

#include <chrono>

namespace mzt::devsim {

class Wakeup {
 public:
  Wakeup();
  ~Wakeup();
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

  void Notify();
  // Waits until notified or the time passed; answers whether it was
  // notified. Notifications are used up by the wait that sees them.
  bool WaitFor(std::chrono::microseconds timeout);
  int Fd() const { return readFd_; }
  void Drain();

 private:
  int readFd_ = -1;
  int writeFd_ = -1;
};

}  // namespace mzt::devsim
