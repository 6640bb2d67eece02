#include "platform/posix/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "common/TextFill.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

using Clock = std::chrono::steady_clock;

Error SystemFailure(ErrorCode code, const std::string& what, int err) {
  return Error{code, what + ": " + SystemErrorText(err), err};
}

speed_t SpeedConstant(int baudRate) {
  switch (baudRate) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 230400: return B230400;
    default: return B115200;
  }
}

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

std::unique_ptr<ISerialPort> CreateSerialPort() { return std::make_unique<PosixSerialPort>(); }

std::string PortOpenAdvice(const Error& error) {
  if (error.code == ErrorCode::kBusy)
    return Tr("Close the program that holds the port (a terminal program, another mzt, or "
              "ModemManager probing it) and try again.");
  if (error.systemCode == EACCES || error.systemCode == EPERM)
    return Tr("Your user may not open serial ports: add it to the dialout group "
              "(sudo usermod -aG dialout $USER, then log in again), or install a udev rule "
              "that gives you the device.");
  return {};
}

PosixSerialPort::PosixSerialPort() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
  }
}

PosixSerialPort::~PosixSerialPort() {
  Close();
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void PosixSerialPort::WakeReader() {
  if (wakeWrite_ < 0) return;
  char byte = 1;
  ssize_t written = ::write(wakeWrite_, &byte, 1);
  (void)written;  // a full pipe wakes the reader already
}

Result<void> PosixSerialPort::Open(const std::string& name, int baudRate) {
  Close();
  int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  // A port in use says so, whichever of TIOCEXCL and the lock refused it.
  auto inUse = [&name](int err) { return PortInUse(name, err); };
  if (fd < 0) {
    int err = errno;
    // EBUSY: another program holds the port with TIOCEXCL.
    if (err == EBUSY) return inUse(err);
    return SystemFailure(err == ENOENT ? ErrorCode::kNotFound : ErrorCode::kIo, Fill(Tr("open {1}"), {name}), err);
  }
  // No sharing: the lock refuses a second opener even for root, which
  // TIOCEXCL does not. Its EWOULDBLOCK text would not say what happened.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    return inUse(err);
  }
  ::ioctl(fd, TIOCEXCL);

  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    int err = errno;
    ::close(fd);
    return SystemFailure(ErrorCode::kIo, Fill(Tr("{1} is not a serial port"), {name}), err);
  }
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, SpeedConstant(baudRate));
  ::cfsetospeed(&tio, SpeedConstant(baudRate));
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    int err = errno;
    ::close(fd);
    return SystemFailure(ErrorCode::kIo, Fill(Tr("configuring {1}"), {name}), err);
  }
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIC, &lines);  // a pty has no modem lines; that is fine
  // Bytes left from an earlier connection never reach the receiver.
  ::tcflush(fd, TCIOFLUSH);
  gone_ = false;
  fd_ = fd;
  return Success();
}

void PosixSerialPort::Close() {
  int fd = fd_.exchange(-1);
  if (fd >= 0) ::close(fd);
}

Result<void> PosixSerialPort::Write(std::span<const uint8_t> bytes,
                                    std::chrono::milliseconds deadlineSpan) {
  int fd = fd_.load();
  if (fd < 0) return Error{ErrorCode::kIo, Tr("the port is not open")};
  if (gone_) return Error{ErrorCode::kDisconnected, Tr("the device is gone")};
  auto deadline = Clock::now() + deadlineSpan;
  size_t done = 0;
  Result<void> result = Success();
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      int err = errno;
      if (err == EIO) gone_ = true;
      result = SystemFailure(err == EIO ? ErrorCode::kDisconnected : ErrorCode::kIo, Tr("writing to the port"), err);
      break;
    }
    pollfd pfd{fd, POLLOUT, 0};
    int ready = ::poll(&pfd, 1, RemainingMs(deadline));
    if (ready == 0) {
      result = Error{ErrorCode::kTimeout, Tr("writing to the port timed out")};
      break;
    }
    if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR))) {
      gone_ = true;
      result = Error{ErrorCode::kDisconnected, Tr("the device is gone")};
      break;
    }
  }
  if (result) result = WaitUntilDrained(deadline);
  if (!result) ::tcflush(fd, TCOFLUSH);
  return result;
}

Result<void> PosixSerialPort::WaitUntilDrained(Clock::time_point deadline) {
  // tcdrain cannot be bounded; watch the output queue instead.
  int fd = fd_.load();
  for (;;) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) return Success();
    if (Clock::now() >= deadline) return Error{ErrorCode::kTimeout, Tr("the port did not send its output in time")};
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

Result<size_t> PosixSerialPort::Read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) {
  int fd = fd_.load();
  if (fd < 0) return Error{ErrorCode::kIo, Tr("the port is not open")};
  pollfd fds[2] = {{fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
  int ready = ::poll(fds, wakeRead_ >= 0 ? 2 : 1, static_cast<int>(timeout.count()));
  if (ready < 0) {
    if (errno == EINTR) return size_t{0};
    return SystemFailure(ErrorCode::kIo, Tr("waiting for the port"), errno);
  }
  if (ready == 0) return size_t{0};
  if (fds[1].revents & POLLIN) {
    char drain[16];
    while (::read(wakeRead_, drain, sizeof drain) > 0) {
    }
    return size_t{0};
  }
  const pollfd& pfd = fds[0];
  if (!(pfd.revents & POLLIN) && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
    gone_ = true;
    return Error{ErrorCode::kDisconnected, Tr("the device is gone")};
  }
  ssize_t n = ::read(fd, buffer.data(), buffer.size());
  if (n > 0) return static_cast<size_t>(n);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return size_t{0};
  gone_ = true;
  return Error{ErrorCode::kDisconnected, Tr("the device is gone"), n < 0 ? errno : 0};
}

}  // namespace mzt
