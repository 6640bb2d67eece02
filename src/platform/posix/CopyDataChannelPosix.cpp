#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/CopyDataChannel.h"
#include "platform/SystemError.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// A request: identifier and length (4 bytes each, little-endian), then the
// bytes. The answer: one byte, 1 accepted, 0 refused.
constexpr size_t kHeader = 8;

Error SocketError(const std::string& what) {
  int err = errno;
  return Error{ErrorCode::kIo, what + ": " + SystemErrorText(err), err};
}

bool FillAddress(const fs::path& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::string text = path.string();
  if (text.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

bool ReadExactly(int fd, uint8_t* out, size_t size, int timeoutMs) {
  size_t done = 0;
  while (done < size) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0) return false;
    ssize_t n = ::read(fd, out + done, size - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

fs::path CopyDataSocketPath() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
    return fs::path(runtime) / "mzt-utility.sock";
  fs::path folder = fs::temp_directory_path() / ("mzt-utility-" + std::to_string(::getuid()));
  ::mkdir(folder.c_str(), 0700);
  return folder / "copydata.sock";
}

Result<void> CopyDataServer::Start(const fs::path& path, Handler handler) {
  Stop();
  sockaddr_un address;
  if (!FillAddress(path, address)) return Error{ErrorCode::kInvalidArgument, "socket path too long"};
  // A socket nobody answers on was left by a program that is gone.
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe >= 0) {
    bool alive = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    if (alive) return Error{ErrorCode::kBusy, "another program is listening at " + path.string()};
  }
  ::unlink(path.c_str());

  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return SocketError("socket");
  mode_t old = ::umask(0177);  // the socket is the user's alone
  int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::umask(old);
  if (bound != 0 || ::listen(fd, 4) != 0) {
    Error error = SocketError("listening at " + path.string());
    ::close(fd);
    return error;
  }
  listener_ = fd;
  path_ = path;
  handler_ = std::move(handler);
  thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
  return Success();
}

void CopyDataServer::Stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  if (listener_ >= 0) {
    ::close(listener_);
    ::unlink(path_.c_str());
    listener_ = -1;
  }
}

void CopyDataServer::Serve(std::stop_token stop) {
  while (!stop.stop_requested()) {
    pollfd pfd{listener_, POLLIN, 0};
    if (::poll(&pfd, 1, 50) <= 0) continue;
    int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Answer(connection);
    ::close(connection);
  }
}

void CopyDataServer::Answer(int connection) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid())
    return;  // another user's program gets no answer
  uint8_t header[kHeader];
  if (!ReadExactly(connection, header, kHeader, 1000)) return;
  uint32_t identifier = Le32(header);
  uint32_t length = Le32(header + 4);
  uint8_t accepted = 0;
  if (length <= kMaxCopyDataBytes) {
    std::vector<uint8_t> data(length);
    if (!ReadExactly(connection, data.data(), length, 1000)) return;
    accepted = handler_ && handler_(identifier, data) ? 1 : 0;
  }
  WriteAll(connection, &accepted, 1);
}

Result<bool> SendCopyData(const fs::path& path, uint32_t identifier, std::span<const uint8_t> data) {
  if (data.size() > kMaxCopyDataBytes) return false;
  sockaddr_un address;
  if (!FillAddress(path, address)) return Error{ErrorCode::kInvalidArgument, "socket path too long"};
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return SocketError("socket");
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Error error = SocketError("no running program at " + path.string());
    error.code = ErrorCode::kNotFound;
    ::close(fd);
    return error;
  }
  std::vector<uint8_t> request(kHeader + data.size());
  PutLe32(request.data(), identifier);
  PutLe32(request.data() + 4, static_cast<uint32_t>(data.size()));
  std::memcpy(request.data() + kHeader, data.data(), data.size());
  uint8_t answer = 0;
  bool ok = WriteAll(fd, request.data(), request.size()) && ReadExactly(fd, &answer, 1, 5000);
  ::close(fd);
  if (!ok) return Error{ErrorCode::kIo, "the program did not answer"};
  return answer == 1;
}

}  // namespace mzt
