#include "devsim/Wakeup.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "devsim/PollTimeout.h"

namespace mzt::devsim {

Wakeup::Wakeup() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
  readFd_ = fds[0];
  writeFd_ = fds[1];
}

Wakeup::~Wakeup() {
  ::close(readFd_);
  ::close(writeFd_);
}

void Wakeup::Notify() {
  char byte = 1;
  // A full pipe already holds a notification.
  [[maybe_unused]] ssize_t n = ::write(writeFd_, &byte, 1);
}

void Wakeup::Drain() {
  char buffer[64];
  while (::read(readFd_, buffer, sizeof buffer) > 0) {
  }
}

bool Wakeup::WaitFor(std::chrono::microseconds timeout) {
  pollfd pfd{readFd_, POLLIN, 0};
  int ready = ::poll(&pfd, 1, PollTimeout(timeout));
  if (ready > 0) {
    Drain();
    return true;
  }
  return false;
}

}  // namespace mzt::devsim
