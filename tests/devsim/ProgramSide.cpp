#include "devsim/ProgramSide.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <span>

#include "devicelink/SentenceFramer.h"

namespace mzt::test {
namespace {

using Clock = std::chrono::steady_clock;

int LeftMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

ProgramSide::ProgramSide(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return;
  termios tio{};
  ::tcgetattr(fd_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd_, TCSANOW, &tio);
  ::tcflush(fd_, TCIOFLUSH);
}

ProgramSide::~ProgramSide() { Close(); }

void ProgramSide::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool ProgramSide::Write(std::string_view bytes) {
  auto deadline = Clock::now() + std::chrono::seconds(5);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd pfd{fd_, POLLOUT, 0};
    if (::poll(&pfd, 1, LeftMs(deadline)) <= 0) return false;
  }
  return true;
}

std::string ProgramSide::ReadRaw(std::chrono::milliseconds window) {
  std::string bytes = std::move(pending_);
  pending_.clear();
  auto deadline = Clock::now() + window;
  for (;;) {
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, LeftMs(deadline)) <= 0 || !(pfd.revents & POLLIN)) break;
    char buffer[4096];
    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

std::vector<std::string> ProgramSide::ReadReplies(size_t count, std::chrono::milliseconds timeout) {
  std::vector<std::string> replies;
  SentenceFramer framer;
  auto sink = [&](std::span<const uint8_t> sentence) {
    replies.emplace_back(reinterpret_cast<const char*>(sentence.data()), sentence.size());
  };
  auto deadline = Clock::now() + timeout;
  std::string bytes = std::move(pending_);
  pending_.clear();
  for (;;) {
    // One byte at a time, so that bytes after the last wanted reply stay for later.
    size_t used = 0;
    while (used < bytes.size() && replies.size() < count) {
      framer.Feed(std::span(reinterpret_cast<const uint8_t*>(bytes.data()) + used, 1), sink);
      ++used;
    }
    if (replies.size() >= count) {
      if (used < bytes.size() && bytes[used] == '\n') ++used;  // the framer ends at CR
      pending_ = bytes.substr(used);
      return replies;
    }
    bytes.clear();
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, LeftMs(deadline)) <= 0 || !(pfd.revents & POLLIN)) return replies;
    char buffer[4096];
    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) return replies;
    bytes.assign(buffer, static_cast<size_t>(n));
  }
}

std::string ProgramSide::ReadReply(std::chrono::milliseconds timeout) {
  auto replies = ReadReplies(1, timeout);
  return replies.empty() ? std::string() : replies.front();
}

bool ProgramSide::SeesHangup(std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    pollfd pfd{fd_, POLLIN, 0};
    int ready = ::poll(&pfd, 1, LeftMs(deadline));
    if (ready <= 0) return false;
    if (pfd.revents & (POLLHUP | POLLERR)) return true;
    char buffer[4096];
    ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno == EIO)) return true;
  }
}

}  // namespace mzt::test
