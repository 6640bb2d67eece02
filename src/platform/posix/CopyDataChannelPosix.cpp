#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "common/ByteOrder.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "platform/CopyDataChannel.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// A request: identifier and length (4 bytes each, little-endian), then the
// bytes. The answer: one byte, 1 accepted, 0 refused, 2 busy.
constexpr size_t kHeader = 8;
constexpr uint8_t kRefusedAnswer = 0;
constexpr uint8_t kAcceptedAnswer = 1;
constexpr uint8_t kBusyAnswer = 2;
// More clients than this at once are told that the program is busy.
constexpr size_t kMaxClients = 8;
// The client's wait for the answer, above the desktop program's longest (its
// UI thread's start and a refusal): never scaled, a test's window is no faster.
const int kAnswerTimeMs = ProductionMilliseconds(Delay::kCopyDataAnswer);

Error SystemFailure(const std::string& what, int err) {
  return Error{ErrorCode::kIo, what + ": " + SystemErrorText(err), err};
}

Error SocketError(const std::string& what) { return SystemFailure(what, errno); }

Error NoProgram(const fs::path& path) {
  return Error{ErrorCode::kNotFound,
               Fill(Tr("no desktop program is running (nothing listens at {1})"), {path.string()})};
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
  return Error{ErrorCode::kInvalidArgument, Fill(Tr("socket path too long: {1}"), {path.string()})};
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
    problem = Tr("it is a symbolic link");
  } else if (!S_ISDIR(info.st_mode)) {
    problem = Tr("it is not a folder");
  } else if (info.st_uid != ::geteuid()) {
    problem = Fill(Tr("it belongs to user {1}, not to this user ({2})"),
                   {std::to_string(info.st_uid), std::to_string(::geteuid())});
  } else if ((info.st_mode & 07777) != 0700) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    problem = Fill(Tr("its mode is {1}, not 0700"), {mode});
  }
  if (problem.empty()) return Success();
  return Error{ErrorCode::kRefused,
               Fill(Tr("refusing {1} as the copy-data socket's folder: {2}"), {folder.string(), problem})};
}

Error Busy(const fs::path& path) {
  return Error{ErrorCode::kBusy,
               Fill(Tr("another MZT Utility is running and receives the requests at {1}"), {path.string()})};
}

// The lock lives as long as the endpoint and goes with a program that
// crashed, so two programs starting at once cannot both take the socket.
Result<int> TakeEndpointLock(const fs::path& path) {
  fs::path lockPath = path;
  lockPath += ".lock";
  int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock < 0) return SocketError(Fill(Tr("opening {1}"), {lockPath.string()}));
  if (::flock(lock, LOCK_EX | LOCK_NB) == 0) return lock;
  Error error = errno == EWOULDBLOCK ? Busy(path) : SocketError(Fill(Tr("locking {1}"), {lockPath.string()}));
  ::close(lock);
  return error;
}

// A socket that takes a connection is live, even when its lock file was
// cleaned away; one that refuses it was left by a program that is gone.
Result<void> RemoveStaleSocket(const fs::path& path, const sockaddr_un& address) {
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return SocketError(Tr("creating a socket"));
  bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  int err = errno;
  ::close(probe);
  if (live) return Busy(path);
  if (err == ENOENT) return Success();
  if (err != ECONNREFUSED) return SystemFailure(Fill(Tr("connecting to {1}"), {path.string()}), err);
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) != 0) return Success();
  if (!S_ISSOCK(existing.st_mode))
    return Error{ErrorCode::kRefused, Fill(Tr("{1} is not a socket; it is left alone"), {path.string()})};
  if (::unlink(path.c_str()) != 0) return SocketError(Fill(Tr("removing the stale {1}"), {path.string()}));
  return Success();
}

// The user of the program at the other end, as the kernel recorded it.
std::optional<uid_t> PeerUid(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return std::nullopt;
  return peer.uid;
}

// A non-blocking socket's whole buffer, waiting for room at most `timeoutMs`
// each time.
bool WriteAll(int fd, const uint8_t* data, size_t size, int timeoutMs) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd pfd{fd, POLLOUT, 0};
      if (::poll(&pfd, 1, timeoutMs) <= 0) return false;
    } else if (n >= 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

// One byte into a fresh connection's empty buffer never waits.
void SendAnswer(int connection, uint8_t answer) {
  (void)::send(connection, &answer, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
}

// A client whose request is still arriving.
struct Client {
  int fd;
  std::chrono::steady_clock::time_point deadline;
  std::vector<uint8_t> bytes{};
};

enum class Reading { kMore, kComplete, kTooLong, kBroken };

// Reads what has arrived, never past the request's end.
Reading ReadArrived(Client& client) {
  for (;;) {
    size_t want = kHeader;
    if (client.bytes.size() >= kHeader) {
      uint32_t length = Le32(client.bytes.data() + 4);
      if (length > kMaxCopyDataBytes) return Reading::kTooLong;
      want += length;
      if (client.bytes.size() == want) return Reading::kComplete;
    }
    uint8_t buffer[kHeader + kMaxCopyDataBytes];
    ssize_t n = ::read(client.fd, buffer, want - client.bytes.size());
    if (n > 0) {
      client.bytes.insert(client.bytes.end(), buffer, buffer + n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return Reading::kMore;
    } else if (n == 0 || errno != EINTR) {
      return Reading::kBroken;
    }
  }
}

Error BusyProgram(const fs::path& path, const std::string& why) {
  return Error{ErrorCode::kBusy,
               Fill(Tr("the desktop program at {1} is busy ({2}); try again"), {path.string(), why})};
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
    return SocketError(Fill(Tr("creating {1}"), {folder.string()}));
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
  if (fd < 0) return fail(SocketError(Tr("creating a socket")));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Error error = SocketError(Fill(Tr("binding {1}"), {path.string()}));
    ::close(fd);
    return fail(std::move(error));
  }
  if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 4) != 0) {
    Error error = SocketError(Fill(Tr("listening at {1}"), {path.string()}));
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
  if (handling_.joinable()) handling_.join();
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

// Clients are read side by side, each within its own time limit, so that a
// slow one keeps no other out; whole requests go to the handler in turn.
void CopyDataServer::Serve(std::stop_token stop) {
  std::vector<Client> clients;
  while (!stop.stop_requested()) {
    std::vector<pollfd> polled{{listener_, POLLIN, 0}};
    for (const auto& client : clients) polled.push_back({client.fd, POLLIN, 0});
    if (::poll(polled.data(), polled.size(), ProductionMilliseconds(Delay::kCopyDataPoll)) < 0) continue;
    auto now = std::chrono::steady_clock::now();
    for (size_t i = clients.size(); i-- > 0;) {
      Client& client = clients[i];
      Reading reading = polled[i + 1].revents ? ReadArrived(client) : Reading::kMore;
      if (reading == Reading::kComplete) {
        uint32_t identifier = Le32(client.bytes.data());
        Dispatch(client.fd, identifier,
                 std::vector<uint8_t>(client.bytes.begin() + kHeader, client.bytes.end()));
      } else if (reading == Reading::kMore && now < client.deadline) {
        continue;
      } else {
        // Too long is refused unread; a cut or late one gets no answer.
        if (reading == Reading::kTooLong) SendAnswer(client.fd, kRefusedAnswer);
        ::close(client.fd);
      }
      clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (!(polled[0].revents & POLLIN)) continue;
    int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (connection < 0) continue;
    // Another user's request is refused unread.
    bool ours = PeerUid(connection) == ::geteuid();
    if (!ours || clients.size() >= kMaxClients) {
      SendAnswer(connection, ours ? kBusyAnswer : kRefusedAnswer);
      ::close(connection);
      continue;
    }
    clients.push_back({connection, now + Duration(Delay::kCopyDataRequest)});
  }
  for (const auto& client : clients) ::close(client.fd);
}

void CopyDataServer::Dispatch(int connection, uint32_t identifier, std::vector<uint8_t> data) {
  if (handlerBusy_) {
    SendAnswer(connection, kBusyAnswer);
    ::close(connection);
    return;
  }
  if (handling_.joinable()) handling_.join();  // at most its answer is left to send
  handlerBusy_ = true;
  handling_ = std::thread([this, connection, identifier, data = std::move(data)] {
    bool accepted = handler_ && handler_(identifier, data);
    // Free before the answer goes: its sender may send the next one at once.
    handlerBusy_ = false;
    SendAnswer(connection, accepted ? kAcceptedAnswer : kRefusedAnswer);
    ::close(connection);
  });
}

Result<bool> SendCopyData(const fs::path& path, uint32_t identifier, std::span<const uint8_t> data) {
  if (data.size() > kMaxCopyDataBytes)
    return Error{ErrorCode::kTooLarge, Fill(Tr("the request is {1} bytes; at most {2} are carried"),
                                           {std::to_string(data.size()), std::to_string(kMaxCopyDataBytes)})};
  sockaddr_un address;
  if (!FillAddress(path, address)) return PathTooLong(path);
  if (auto safe = CheckPrivateFolder(FolderOf(path)); !safe)
    return safe.Err().code == ErrorCode::kNotFound ? NoProgram(path) : std::move(safe).TakeError();
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return SocketError(Tr("creating a socket"));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    int err = errno;
    ::close(fd);
    if (err == ENOENT || err == ECONNREFUSED) return NoProgram(path);
    // Its queue of connections is full.
    if (err == EAGAIN) return BusyProgram(path, Tr("too many requests at once"));
    return SystemFailure(Fill(Tr("connecting to {1}"), {path.string()}), err);
  }
  // The request goes only to this user's program.
  if (auto peer = PeerUid(fd); peer != ::geteuid()) {
    ::close(fd);
    return Error{ErrorCode::kRefused,
                 Fill(Tr("the program listening at {1} belongs to user {2}, not to this user; nothing was sent"),
                      {path.string(), peer ? std::to_string(*peer) : std::string(Tr("unknown"))})};
  }
  std::vector<uint8_t> request(kHeader + data.size());
  PutLe32(request.data(), identifier);
  PutLe32(request.data() + 4, static_cast<uint32_t>(data.size()));
  std::memcpy(request.data() + kHeader, data.data(), data.size());
  // A busy program may answer before it has read the request.
  (void)WriteAll(fd, request.data(), request.size(), kAnswerTimeMs);
  pollfd pfd{fd, POLLIN, 0};
  int ready = ::poll(&pfd, 1, kAnswerTimeMs);
  uint8_t answer = 0;
  bool answered = ready > 0 && ::read(fd, &answer, 1) == 1;
  ::close(fd);
  if (ready == 0)
    return BusyProgram(path, Fill(Tr("no answer within {1} s"), {std::to_string(kAnswerTimeMs / 1000)}));
  if (!answered) return Error{ErrorCode::kIo, Fill(Tr("the program at {1} did not answer"), {path.string()})};
  if (answer == kBusyAnswer) return BusyProgram(path, Tr("it is answering another request"));
  return answer == kAcceptedAnswer;
}

}  // namespace mzt
