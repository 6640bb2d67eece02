#include "devsim/SignalWaiter.h"

#include <pthread.h>

namespace mzt::devsim {

SignalWaiter::SignalWaiter(std::initializer_list<int> signals) {
  sigemptyset(&set_);
  for (int signal : signals) sigaddset(&set_, signal);
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
}

int SignalWaiter::Wait() {
  for (;;) {
    int signal = 0;
    if (sigwait(&set_, &signal) == 0) return signal;
  }
}

}  // namespace mzt::devsim
