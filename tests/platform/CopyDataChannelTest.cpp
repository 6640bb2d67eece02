#include "platform/CopyDataChannel.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// A request as it crosses the socket: identifier, declared length, bytes.
std::string Wire(uint32_t identifier, uint32_t length, const std::string& body) {
  std::string wire;
  for (uint32_t value : {identifier, length})
    for (int i = 0; i < 4; ++i) wire.push_back(static_cast<char>(value >> (8 * i)));
  return wire + body;
}

sockaddr_un Address(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  return address;
}

// Writes `wire` and half-closes: the answer byte, or -1 when none came.
// Only system calls, so that a forked child may use it.
int SendRaw(const fs::path& path, const std::string& wire) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = Address(path);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -2;
  (void)::send(fd, wire.data(), wire.size(), MSG_NOSIGNAL);
  ::shutdown(fd, SHUT_WR);
  pollfd pfd{fd, POLLIN, 0};
  uint8_t answer = 0;
  int result = ::poll(&pfd, 1, 5000) == 1 && ::read(fd, &answer, 1) == 1 ? answer : -1;
  ::close(fd);
  return result;
}

// Leaves a socket file with nobody listening, as a crashed program does.
void LeaveStaleSocket(const fs::path& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = Address(path);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

class CopyDataChannelTest : public ::testing::Test {
 protected:
  void StartServer() { StartServerAt(path_); }
  void StartServerAt(const fs::path& path) {
    auto started = server_.Start(path, [this](uint32_t identifier, std::span<const uint8_t> data) {
      std::unique_lock lock(mutex_);
      received_.emplace_back(identifier, std::string(data.begin(), data.end()));
      if (received_.back().second == "hold") {  // until the test lets it go
        holding_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
      }
      return identifier == 1;
    });
    ASSERT_TRUE(started) << started.Err().message;
  }
  size_t ReceivedCount() {
    std::lock_guard lock(mutex_);
    return received_.size();
  }

  test::TempFolder folder_;
  fs::path path_ = folder_ / "copydata.sock";
  CopyDataServer server_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool holding_ = false, released_ = false;
  std::vector<std::pair<uint32_t, std::string>> received_;
};

TEST_F(CopyDataChannelTest, RequestsReachTheHandlerAndItsAnswerComesBack) {
  StartServer();
  auto accepted = SendCopyData(path_, 1, Bytes("C:\\db\\ULDB.bin,3"));
  ASSERT_TRUE(accepted);
  EXPECT_TRUE(accepted.Value());
  auto refused = SendCopyData(path_, 2, Bytes("x"));
  ASSERT_TRUE(refused);
  EXPECT_FALSE(refused.Value());
  auto overLong = SendCopyData(path_, 1, Bytes(std::string(261, 'a')));
  ASSERT_FALSE(overLong);
  EXPECT_EQ(overLong.Err().code, ErrorCode::kTooLarge);  // and nothing was sent
  // The server refuses these itself (0), or gives no answer to a cut one (-1).
  EXPECT_EQ(SendRaw(path_, Wire(1, 261, std::string(261, 'a') + ",1")), 0);
  EXPECT_EQ(SendRaw(path_, Wire(1, 0xFFFFFFFFu, "")), 0);
  EXPECT_EQ(SendRaw(path_, Wire(1, 0x00010003u, "a,1")), 0);  // not 3 bytes
  EXPECT_EQ(SendRaw(path_, Wire(1, 10, "a,1")), -1);
  EXPECT_TRUE(SendCopyData(path_, 1, Bytes("a,1")).Value());  // and still serves
  std::lock_guard lock(mutex_);
  ASSERT_EQ(received_.size(), 3u);
  EXPECT_EQ(received_[0].second, "C:\\db\\ULDB.bin,3");
  EXPECT_EQ(received_[1].first, 2u);
}

// The socket's path without XDG_RUNTIME_DIR, with TMPDIR set to `tmpdir`.
fs::path FallbackSocketPath(const fs::path& tmpdir) {
  std::optional<std::string> runtime, temporary;
  if (const char* value = std::getenv("XDG_RUNTIME_DIR")) runtime = value;
  if (const char* value = std::getenv("TMPDIR")) temporary = value;
  ::unsetenv("XDG_RUNTIME_DIR");
  ::setenv("TMPDIR", tmpdir.c_str(), 1);
  fs::path path = CopyDataSocketPath();
  runtime ? ::setenv("XDG_RUNTIME_DIR", runtime->c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
  temporary ? ::setenv("TMPDIR", temporary->c_str(), 1) : ::unsetenv("TMPDIR");
  return path;
}

TEST_F(CopyDataChannelTest, FallbackFolderIsPrivateAndAStaleSocketIsReplaced) {
  auto missing = SendCopyData(FallbackSocketPath(folder_ / "missing"), 1, Bytes("a,1"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Err().code, ErrorCode::kNotFound);
  fs::path path = FallbackSocketPath(folder_.Path());
  ASSERT_EQ(path.parent_path().parent_path(), folder_.Path());

  // The server creates the folder.
  StartServerAt(path);
  struct stat info {};
  ASSERT_EQ(::lstat(path.parent_path().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  ASSERT_EQ(::lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  server_.Stop();

  LeaveStaleSocket(path);
  StartServerAt(path);
  EXPECT_TRUE(SendCopyData(path, 1, Bytes("a,1")).Value());
  server_.Stop();

  // Anything else at the socket's name is the user's, and stays.
  test::WriteFileBytes(path, "mine");
  CopyDataServer server;
  auto refused = server.Start(path, {});
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.Err().code, ErrorCode::kRefused);
  EXPECT_EQ(test::ReadFileBytes(path), "mine");
}

TEST_F(CopyDataChannelTest, ALiveServerIsNotStolenNorHeldAndAMissingOneIsReported) {
  StartServer();
  for (bool lockRemoved : {false, true}) {
    // A cleaner of old temporary files may remove the lock file.
    if (lockRemoved) fs::remove(path_.string() + ".lock");
    CopyDataServer second;
    auto busy = second.Start(path_, {});
    ASSERT_FALSE(busy);
    EXPECT_EQ(busy.Err().code, ErrorCode::kBusy) << busy.Err().message;
  }
  // A client that sends its request a byte at a time, slower than the
  // server waits for it, is cut off without an answer, and others are served
  // meanwhile.
  int slow = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = Address(path_);
  ASSERT_EQ(::connect(slow, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::jthread trickle([slow, wire = Wire(1, 260, std::string(260, 'a'))](std::stop_token stop) {
    for (char byte : wire) {
      if (stop.stop_requested() || ::send(slow, &byte, 1, MSG_NOSIGNAL) != 1) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  auto sent = SendCopyData(path_, 1, Bytes("a,1"));
  ASSERT_TRUE(sent) << sent.Err().message;
  EXPECT_TRUE(sent.Value());
  trickle.join();
  // No answer: the end of the stream, or a reset when bytes were still unread.
  char answer = 0;
  EXPECT_LE(::read(slow, &answer, 1), 0);
  ::close(slow);
  // While one request is handled, another is told that the program is busy.
  std::jthread holder([&] { (void)SendCopyData(path_, 1, Bytes("hold")); });
  {
    std::unique_lock lock(mutex_);
    ASSERT_TRUE(changed_.wait_for(lock, std::chrono::seconds(30), [this] { return holding_; }));
  }
  auto busy = SendCopyData(path_, 1, Bytes("a,1"));
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
  ASSERT_FALSE(busy);
  EXPECT_EQ(busy.Err().code, ErrorCode::kBusy) << busy.Err().message;
  holder.join();
  server_.Stop();
  auto missing = SendCopyData(path_, 1, Bytes("a,1"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Err().code, ErrorCode::kNotFound);
}

std::optional<passwd> Nobody() {
  const passwd* entry = ::getpwnam("nobody");
  if (!entry) return std::nullopt;
  return *entry;
}

// Folders that another user could have placed or could write in.
struct UnsafeFolder {
  std::string name;
  std::string problem;  // part of the error message
  bool link;            // a symbolic link to a private folder
  unsigned mode;
  bool otherOwner;
};

class UnsafeFolderTest : public CopyDataChannelTest,
                         public ::testing::WithParamInterface<UnsafeFolder> {};

TEST_P(UnsafeFolderTest, IsRefusedByServerAndClient) {
  const UnsafeFolder& row = GetParam();
  if (row.otherOwner && (::geteuid() != 0 || !Nobody()))
    GTEST_SKIP() << "needs root and the user nobody";
  fs::path folder = folder_ / "private";
  fs::path real = row.link ? folder_ / "private.real" : folder;
  fs::create_directory(real);
  fs::permissions(real, static_cast<fs::perms>(row.mode), fs::perm_options::replace);
  if (row.link) fs::create_directory_symlink(real, folder);
  if (row.otherOwner) {
    ASSERT_EQ(::chown(folder.c_str(), Nobody()->pw_uid, Nobody()->pw_gid), 0);
  }
  fs::path path = folder / "copydata.sock";

  CopyDataServer server;
  auto started = server.Start(path, [](uint32_t, std::span<const uint8_t>) { return true; });
  ASSERT_FALSE(started);
  EXPECT_EQ(started.Err().code, ErrorCode::kRefused);
  EXPECT_NE(started.Err().message.find(row.problem), std::string::npos) << started.Err().message;
  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));

  // A socket someone else left there is not talked to either.
  LeaveStaleSocket(path);
  auto sent = SendCopyData(path, 1, Bytes("a,1"));
  ASSERT_FALSE(sent);
  EXPECT_EQ(sent.Err().code, ErrorCode::kRefused) << sent.Err().message;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, UnsafeFolderTest,
    ::testing::Values(UnsafeFolder{"SymbolicLink", "symbolic link", true, 0700, false},
                      UnsafeFolder{"OpenToOthers", "mode is 0755", false, 0755, false},
                      UnsafeFolder{"OtherOwner", "belongs to user", false, 0700, true}),
    test::RowName());

// Runs `body` in a child process as the user nobody; its result is the
// child's exit status.
template <typename Body>
pid_t ForkAsNobody(Body body) {
  pid_t child = ::fork();
  if (child == 0) {
    passwd nobody = *Nobody();
    bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(nobody.pw_gid) == 0 &&
                   ::setuid(nobody.pw_uid) == 0;
    if (!dropped) ::_exit(100);
    ::_exit(body());
  }
  return child;
}

int ExitStatus(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CopyDataChannelTest, AnotherUsersProgramIsRefusedOnBothSides) {
  if (::geteuid() != 0 || !Nobody()) GTEST_SKIP() << "needs root and the user nobody";

  // Another user's request, even with the socket opened to it, is refused.
  StartServer();
  ::chmod(folder_.Path().c_str(), 0711);
  ::chmod(path_.c_str(), 0666);
  std::string request = Wire(1, 3, "a,1");
  EXPECT_EQ(ExitStatus(ForkAsNobody([&] { return SendRaw(path_, request); })), 0);
  EXPECT_EQ(ReceivedCount(), 0u);
  server_.Stop();
  ::chmod(folder_.Path().c_str(), 0700);

  // Another user's program listening at our socket is not sent the request.
  int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = Address(path_);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  // It lets the test go on once it listens, and exits with what it read:
  // 0 when the client hung up without sending.
  pid_t impostor = ForkAsNobody([&] {
    if (::listen(listener, 1) != 0) return 101;
    if (::write(ready[1], "r", 1) != 1) return 104;
    pollfd pfd{listener, POLLIN, 0};
    if (::poll(&pfd, 1, 5000) != 1) return 102;
    pfd = {::accept(listener, nullptr, nullptr), POLLIN, 0};
    char buffer[512];
    return ::poll(&pfd, 1, 5000) == 1 ? static_cast<int>(::read(pfd.fd, buffer, sizeof buffer)) : 103;
  });
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  auto sent = SendCopyData(path_, 1, Bytes("secret.bin,1"));
  int impostorRead = ExitStatus(impostor);
  ::close(listener);
  ::close(ready[0]);
  ASSERT_FALSE(sent);
  EXPECT_EQ(sent.Err().code, ErrorCode::kRefused) << sent.Err().message;
  EXPECT_EQ(impostorRead, 0);
}

}  // namespace
}  // namespace mzt
