#include "support/TinyProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <thread>

namespace mzt::test {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool Accepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address = Loopback(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// A loopback port that was free a moment ago.
int FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0) ::close(fd);
  return port;
}

}  // namespace

void ClearProxyEnvironment() {
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                           "ALL_PROXY", "no_proxy", "NO_PROXY"})
    ::unsetenv(name);
}

bool TinyProxy::Installed() {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/usr/sbin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && ::access((folder + "/tinyproxy").c_str(), X_OK) == 0) return true;
  }
  return false;
}

TinyProxy::TinyProxy(const std::string& basicAuth) {
  // Another program may take the port between the probe and the start: try again.
  for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
    port_ = FreeLoopbackPort();
    WriteFileBytes(folder_ / "tinyproxy.conf",
                   "Port " + std::to_string(port_) +
                       "\nListen 127.0.0.1\nAllow 127.0.0.1\n" +
                       (basicAuth.empty() ? "" : "BasicAuth " + basicAuth + "\n") +
                       "LogFile \"" + (folder_ / "tinyproxy.log").string() +
                       "\"\nLogLevel Info\n"
                       "PidFile \"" + (folder_ / "tinyproxy.pid").string() + "\"\n");
    std::string config = (folder_ / "tinyproxy.conf").string();
    std::string output = (folder_ / "tinyproxy.out").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    char* argv[] = {const_cast<char*>("tinyproxy"), const_cast<char*>("-d"),
                    const_cast<char*>("-c"), config.data(), nullptr};
    int spawned = ::posix_spawnp(&pid_, "tinyproxy", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      pid_ = -1;
      problem_ = "tinyproxy could not be started";
      return;
    }
    for (int wait = 0; wait < 300 && !running_; ++wait) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      running_ = Accepts(port_);
      if (!running_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!running_) {
      problem_ = "tinyproxy did not start: " + ReadFileBytes(folder_ / "tinyproxy.out");
      if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
      }
    }
  }
}

TinyProxy::~TinyProxy() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

std::string TinyProxy::Log() const { return ReadFileBytes(folder_ / "tinyproxy.log"); }

bool TinyProxy::LogContains(const std::string& text, std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Log().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace mzt::test
