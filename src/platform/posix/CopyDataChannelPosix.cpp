#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/CopyDataChannel.h"
#include "platform/SystemError.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// A request: identifier and length (4 bytes each, little-endian), then the
// bytes. The answer: one byte, 1 accepted, 0 refused.
constexpr size_t kHeader = 8;

Error SystemFailure(const std::string& what, int err) {
  return Error{ErrorCode::kIo, what + ": " + SystemErrorText(err), err};
}

Error SocketError(const std::string& what) { return SystemFailure(what, errno); }

Error NoProgram(const fs::path& path) {
  return Error{ErrorCode::kNotFound,
               "no desktop program is running (nothing listens at " + path.string() + ")"};
}

bool FillAddress(const fs::path& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::string text = path.string();
  if (text.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

Error PathTooLong(const fs::path& path) {
  return Error{ErrorCode::kInvalidArgument, "socket path too long: " + path.string()};
}

fs::path FolderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// Whoever may write in the socket's folder may replace the socket: the folder
// must be a real folder (not a link to one) of this user's, closed to others.
Result<void> CheckPrivateFolder(const fs::path& folder) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    Error error = SocketError(folder.string());
    if (error.systemCode == ENOENT) error.code = ErrorCode::kNotFound;
    return error;
  }
  std::string problem;
  if (S_ISLNK(info.st_mode)) {
    problem = "it is a symbolic link";
  } else if (!S_ISDIR(info.st_mode)) {
    problem = "it is not a folder";
  } else if (info.st_uid != ::geteuid()) {
    problem = "it belongs to user " + std::to_string(info.st_uid) + ", not to this user (" +
              std::to_string(::geteuid()) + ")";
  } else if ((info.st_mode & 07777) != 0700) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    problem = std::string("its mode is ") + mode + ", not 0700";
  }
  if (problem.empty()) return Success();
  return Error{ErrorCode::kRefused,
               "refusing " + folder.string() + " as the copy-data socket's folder: " + problem};
}

Error Busy(const fs::path& path) {
  return Error{ErrorCode::kBusy,
               "another MZT Utility is running and receives the requests at " + path.string()};
}

// The lock lives as long as the endpoint and goes with a program that
// crashed, so two programs starting at once cannot both take the socket.
Result<int> TakeEndpointLock(const fs::path& path) {
  fs::path lockPath = path;
  lockPath += ".lock";
  int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock < 0) return SocketError("opening " + lockPath.string());
  if (::flock(lock, LOCK_EX | LOCK_NB) == 0) return lock;
  Error error = errno == EWOULDBLOCK ? Busy(path) : SocketError("locking " + lockPath.string());
  ::close(lock);
  return error;
}

// A socket that takes a connection is live, even when its lock file was
// cleaned away; one that refuses it was left by a program that is gone.
Result<void> RemoveStaleSocket(const fs::path& path, const sockaddr_un& address) {
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return SocketError("socket");
  bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  int err = errno;
  ::close(probe);
  if (live) return Busy(path);
  if (err == ENOENT) return Success();
  if (err != ECONNREFUSED) return SystemFailure("connecting to " + path.string(), err);
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) != 0) return Success();
  if (!S_ISSOCK(existing.st_mode))
    return Error{ErrorCode::kRefused, path.string() + " is not a socket; it is left alone"};
  if (::unlink(path.c_str()) != 0) return SocketError("removing the stale " + path.string());
  return Success();
}

// The user of the program at the other end, as the kernel recorded it.
std::optional<uid_t> PeerUid(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return std::nullopt;
  return peer.uid;
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
  auto absolute = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value == '/' ? value : nullptr;
  };
  if (const char* runtime = absolute("XDG_RUNTIME_DIR"))
    return fs::path(runtime) / "mzt-utility.sock";
  // Not temp_directory_path(): it throws when $TMPDIR names no folder, and
  // Start reports that case itself.
  const char* temporary = absolute("TMPDIR");
  return fs::path(temporary ? temporary : "/tmp") / ("mzt-utility-" + std::to_string(::geteuid())) /
         "copydata.sock";
}

Result<void> CopyDataServer::Start(const fs::path& path, Handler handler) {
  Stop();
  sockaddr_un address;
  if (!FillAddress(path, address)) return PathTooLong(path);
  fs::path folder = FolderOf(path);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return SocketError("creating " + folder.string());
  if (auto safe = CheckPrivateFolder(folder); !safe) return safe;
  auto lock = TakeEndpointLock(path);
  if (!lock) return std::move(lock).TakeError();
  auto fail = [held = lock.Value()](Error error) {
    ::close(held);
    return error;
  };
  if (auto cleared = RemoveStaleSocket(path, address); !cleared)
    return fail(std::move(cleared).TakeError());

  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail(SocketError("socket"));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Error error = SocketError("binding " + path.string());
    ::close(fd);
    return fail(std::move(error));
  }
  if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 4) != 0) {
    Error error = SocketError("listening at " + path.string());
    ::close(fd);
    ::unlink(path.c_str());
    return fail(std::move(error));
  }
  listener_ = fd;
  lock_ = lock.Value();
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
  if (lock_ >= 0) {
    ::close(lock_);  // after the unlink: the next owner finds no socket of ours
    lock_ = -1;
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
  uint8_t accepted = 0;
  // Another user's request is refused unread.
  if (PeerUid(connection) == ::geteuid()) {
    uint8_t header[kHeader];
    if (!ReadExactly(connection, header, kHeader, 1000)) return;
    uint32_t identifier = Le32(header);
    uint32_t length = Le32(header + 4);
    if (length <= kMaxCopyDataBytes) {
      std::vector<uint8_t> data(length);
      if (!ReadExactly(connection, data.data(), length, 1000)) return;
      accepted = handler_ && handler_(identifier, data) ? 1 : 0;
    }
  }
  WriteAll(connection, &accepted, 1);
}

Result<bool> SendCopyData(const fs::path& path, uint32_t identifier, std::span<const uint8_t> data) {
  if (data.size() > kMaxCopyDataBytes)
    return Error{ErrorCode::kTooLarge, "the request is " + std::to_string(data.size()) +
                                           " bytes; at most " + std::to_string(kMaxCopyDataBytes) +
                                           " are carried"};
  sockaddr_un address;
  if (!FillAddress(path, address)) return PathTooLong(path);
  if (auto safe = CheckPrivateFolder(FolderOf(path)); !safe)
    return safe.Err().code == ErrorCode::kNotFound ? NoProgram(path) : std::move(safe).TakeError();
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return SocketError("socket");
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    int err = errno;
    ::close(fd);
    if (err == ENOENT || err == ECONNREFUSED) return NoProgram(path);
    return SystemFailure("connecting to " + path.string(), err);
  }
  // The request goes only to this user's program.
  if (auto peer = PeerUid(fd); peer != ::geteuid()) {
    ::close(fd);
    return Error{ErrorCode::kRefused,
                 "the program listening at " + path.string() + " belongs to user " +
                     (peer ? std::to_string(*peer) : std::string("unknown")) +
                     ", not to this user; nothing was sent"};
  }
  std::vector<uint8_t> request(kHeader + data.size());
  PutLe32(request.data(), identifier);
  PutLe32(request.data() + 4, static_cast<uint32_t>(data.size()));
  std::memcpy(request.data() + kHeader, data.data(), data.size());
  uint8_t answer = 0;
  bool ok = WriteAll(fd, request.data(), request.size()) && ReadExactly(fd, &answer, 1, 5000);
  ::close(fd);
  if (!ok) return Error{ErrorCode::kIo, "the program at " + path.string() + " did not answer"};
  return answer == 1;
}

}  // namespace mzt
