#include "devsim/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "devsim/PollTimeout.h"

namespace mzt::devsim {
namespace {

Error Failure(const std::string& what) {
  int err = errno;
  return Error{ErrorCode::kIo, what + ": " + std::strerror(err), err};
}

}  // namespace

Pty::~Pty() { Close(); }

Result<std::string> Pty::Open() {
  Close();
  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (master < 0) return Failure("posix_openpt");
  char name[128];
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
    Error error = Failure("preparing the pty");
    ::close(master);
    return error;
  }
  int keeper = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (keeper < 0) {
    Error error = Failure(std::string("opening ") + name);
    ::close(master);
    return error;
  }
  // Raw, so that the line discipline neither echoes nor turns CR into LF
  // before the program has set its own mode.
  termios tio{};
  if (::tcgetattr(keeper, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(keeper, TCSANOW, &tio);
  }
  master_ = master;
  slaveKeeper_ = keeper;
  slavePath_ = name;
  return slavePath_;
}

void Pty::Close() {
  if (master_ >= 0) ::close(master_);
  if (slaveKeeper_ >= 0) ::close(slaveKeeper_);
  master_ = slaveKeeper_ = -1;
}

Pty::Wait Pty::WaitReadable(Wakeup& wakeup, std::chrono::microseconds timeout) {
  pollfd fds[2] = {{wakeup.Fd(), POLLIN, 0}, {master_, POLLIN, 0}};
  int ready = ::poll(fds, master_ >= 0 ? 2 : 1, PollTimeout(timeout));
  if (ready <= 0) return Wait::kTimeout;
  if (fds[0].revents & POLLIN) {
    wakeup.Drain();
    return Wait::kWoken;
  }
  return Wait::kReadable;
}

Result<size_t> Pty::Read(std::span<uint8_t> buffer) {
  if (master_ < 0) return Error{ErrorCode::kIo, "the pty is closed"};
  for (;;) {
    ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return size_t{0};
    return Failure("reading the pty");
  }
}

Result<void> Pty::Write(std::span<const uint8_t> bytes, std::chrono::milliseconds deadline) {
  if (master_ < 0) return Error{ErrorCode::kIo, "the pty is closed"};
  auto until = std::chrono::steady_clock::now() + deadline;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return Failure("writing the pty");
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - std::chrono::steady_clock::now());
    pollfd pfd{master_, POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&pfd, 1, PollTimeout(left)) <= 0)
      return Error{ErrorCode::kTimeout, "nobody reads the port"};
  }
  return Success();
}

}  // namespace mzt::devsim
