#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Translation.h"

extern char** environ;

namespace mzt {

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    Terminate();
    Wait();
  }
  if (output_ >= 0) close(output_);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  std::swap(pid_, other.pid_);
  std::swap(output_, other.output_);
  std::swap(buffered_, other.buffered_);
  return *this;
}

Result<ChildProcess> ChildProcess::Start(const std::vector<std::string>& command,
                                         const std::vector<std::string>& environment, bool readOutput) {
  std::vector<std::string> env = environment;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    std::string name = text.substr(0, text.find('=') + 1);
    bool replaced = false;
    for (const std::string& e : environment) replaced = replaced || e.starts_with(name);
    if (!replaced) env.push_back(text);
  }
  std::vector<char*> argv, envp;
  for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  int pipeFds[2] = {-1, -1};
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return Error{ErrorCode::kIo, std::strerror(errno), errno};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, readOutput ? pipeFds[1] : STDERR_FILENO, STDOUT_FILENO);
  // The child starts with the default signal handling, whatever this program set.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  ChildProcess child;
  int failed = posix_spawn(&child.pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipeFds[1]);
  if (failed != 0) {
    close(pipeFds[0]);
    child.pid_ = -1;
    return Error{ErrorCode::kNotFound, command[0] + ": " + std::strerror(failed), failed};
  }
  if (readOutput) child.output_ = pipeFds[0];
  else close(pipeFds[0]);
  return child;
}

Result<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (size_t end = buffered_.find('\n'); end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (output_ < 0 || left.count() <= 0) return Error{ErrorCode::kTimeout, Tr("no line in time")};
    pollfd fd{output_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[512];
    ssize_t got = read(output_, buffer, sizeof buffer);
    if (got <= 0) return Error{ErrorCode::kDisconnected, Tr("the output ended")};
    buffered_.append(buffer, static_cast<size_t>(got));
  }
}

void ChildProcess::Terminate() {
  if (pid_ > 0) kill(pid_, SIGTERM);
}

int ChildProcess::Wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace mzt
