#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <iostream>

#include "platform/Terminal.h"

namespace mzt {
namespace {

std::atomic<bool> g_caught{false};
std::atomic<int> g_count{0};
std::atomic<bool> g_terminated{false};
// The handler wakes WaitForInterrupt through this pipe.
int g_wakeRead = -1;
int g_wakeWrite = -1;

void Wake() {
  if (g_wakeWrite >= 0) {
    char byte = 1;
    ssize_t written = ::write(g_wakeWrite, &byte, 1);
    (void)written;  // a full pipe already wakes the waiter
  }
}

void OnInterrupt(int signal) {
  if (!g_caught.load()) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  if (signal == SIGINT)
    g_count.fetch_add(1);
  else
    g_terminated.store(true);
  Wake();
}

}  // namespace

void PrepareConsole() {}

bool IsInteractiveInput() { return ::isatty(STDIN_FILENO) == 1; }
bool IsInteractiveOutput() { return ::isatty(STDERR_FILENO) == 1; }

bool RedrawsInPlace() {
  const char* term = std::getenv("TERM");
  return IsInteractiveOutput() && !(term && std::string_view(term) == "dumb");
}

bool ColourWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  return RedrawsInPlace() && !(noColour && *noColour);
}

bool ReadLine(std::string& line) { return static_cast<bool>(std::getline(std::cin, line)); }

void InstallInterruptHandler() {
  if (g_wakeRead < 0) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
      g_wakeRead = fds[0];
      g_wakeWrite = fds[1];
    }
  }
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGHUP, SIGTERM}) ::sigaction(signal, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

void CatchInterrupts(bool caught) { g_caught.store(caught); }
int InterruptCount() { return g_count.load(); }
bool TerminationRequested() { return g_terminated.load(); }

int WaitForInterrupt(int seen, std::chrono::milliseconds timeout) {
  if (g_count.load() <= seen && g_wakeRead >= 0) {
    // Standard error's reader gone (POLLERR on a pipe) or its terminal hung
    // up, once; a closed descriptor (POLLNVAL) is no reader that went away.
    const bool watchError = g_caught.load() && !g_terminated.load();
    pollfd fds[2] = {{g_wakeRead, POLLIN, 0}, {STDERR_FILENO, 0, 0}};
    ::poll(fds, watchError ? 2 : 1, static_cast<int>(timeout.count()));
    if (watchError && (fds[1].revents & (POLLERR | POLLHUP)) != 0) g_terminated.store(true);
    char drain[16];
    while (::read(g_wakeRead, drain, sizeof drain) > 0) {
    }
  }
  return g_count.load();
}

void WakeInterruptWaiter() { Wake(); }

}  // namespace mzt
