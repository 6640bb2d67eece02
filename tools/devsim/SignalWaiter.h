#pragma once
// Takes the program's signals synchronously: constructed before any thread
// starts, it blocks them in every thread, and Wait hands them over one by one.

#include <signal.h>

#include <initializer_list>

namespace mzt::devsim {

class SignalWaiter {
 public:
  explicit SignalWaiter(std::initializer_list<int> signals);
  // The next of the signals; waits until one comes.
  int Wait();

 private:
  sigset_t set_;
};

}  // namespace mzt::devsim
