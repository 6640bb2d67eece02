// The mzt-devsim program itself: its first output line, its link, its
// signals and its exit status.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "devsim/ProgramSide.h"
#include "support/TempFolder.h"

extern char** environ;

namespace mzt::devsim {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The program with its standard output on a pipe and its errors in a file.
class Program {
 public:
  Program(std::vector<std::string> args, const fs::path& errors) {
    args.insert(args.begin(), MZT_DEVSIM_PROGRAM);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }

  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // Standard output until it ends or the time passed.
  std::string Output(std::chrono::milliseconds timeout, bool lineOnly) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!(lineOnly && text.find('\n') != std::string::npos)) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd pfd{out_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[4096];
      ssize_t n = ::read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
    }
    return text;
  }

  void Signal(int signal) { ::kill(pid_, signal); }

  // The exit status, or -1 when it did not end in time.
  int Wait(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(1ms);
    }
    return -1;
  }

  bool Started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

bool WaitFor(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(Program, PrintsItsPortFollowsSignalsAndExitsCleanly) {
  test::TempFolder folder;
  fs::path link = folder / "port";
  fs::path sysEntry = folder / "sys/class/tty/ttyACM0";
  Program program({"--rate", "0", "--replug-ms", "0", "--link", link.string(), "--sysfs-root",
                   (folder / "sys").string(), "--verbose"},
                  folder / "errors.txt");
  ASSERT_TRUE(program.Started());
  std::string line = program.Output(5s, true);
  ASSERT_TRUE(line.ends_with("\n")) << line;
  std::string path = line.substr(0, line.size() - 1);
  EXPECT_EQ(fs::read_symlink(link), path);
  EXPECT_TRUE(fs::is_symlink(sysEntry));
  {
    test::ProgramSide port(link.string());
    ASSERT_TRUE(port.Write("$PQEL108,1,*00\r\n"));
    EXPECT_EQ(port.ReadReply(5s), "$LOG108,1,1,1.4.0.7*7D\r\n");

    program.Signal(SIGUSR1);
    EXPECT_TRUE(port.SeesHangup(5s));
    EXPECT_TRUE(WaitFor([&] {
      return !fs::exists(fs::symlink_status(link)) && !fs::exists(fs::symlink_status(sysEntry));
    }));
  }
  program.Signal(SIGUSR2);
  ASSERT_TRUE(WaitFor([&] { return fs::exists(fs::symlink_status(link)); }));
  test::ProgramSide back(link.string());
  ASSERT_TRUE(back.Write("$PQEL109*30\r\n"));
  EXPECT_EQ(back.ReadReply(5s), "$LOG109,1*61\r\n");

  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(5s), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(sysEntry)));
  // --verbose logged the conversation.
  EXPECT_NE(test::ReadFileBytes(folder / "errors.txt").find("<- $PQEL109*30"), std::string::npos);
}

TEST(Program, InterruptEndsWithStatusZero) {
  test::TempFolder folder;
  Program program({}, folder / "errors.txt");
  ASSERT_FALSE(program.Output(5s, true).empty());
  program.Signal(SIGINT);
  EXPECT_EQ(program.Wait(5s), 0);
}

TEST(Program, HelpAndBadOptions) {
  test::TempFolder folder;
  Program help({"--help"}, folder / "errors.txt");
  std::string text = help.Output(5s, false);
  EXPECT_EQ(help.Wait(5s), 0);
  EXPECT_NE(text.find("--sysfs-root"), std::string::npos);

  Program bad({"--no-such-option"}, folder / "errors.txt");
  EXPECT_EQ(bad.Wait(5s), 2);
  EXPECT_NE(test::ReadFileBytes(folder / "errors.txt").find("unknown option"), std::string::npos);
}

}  // namespace
}  // namespace mzt::devsim
