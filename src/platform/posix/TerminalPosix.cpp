#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>

#include "platform/Terminal.h"

namespace mzt {
namespace {

std::atomic<bool> g_caught{false};
std::atomic<bool> g_requested{false};

void OnInterrupt(int signal) {
  if (!g_caught.load()) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  g_requested.store(true);
}

}  // namespace

bool IsInteractiveInput() { return ::isatty(STDIN_FILENO) == 1; }
bool IsInteractiveOutput() { return ::isatty(STDOUT_FILENO) == 1; }

bool ReadLine(std::string& line) { return static_cast<bool>(std::getline(std::cin, line)); }

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
}

void CatchInterrupts(bool caught) { g_caught.store(caught); }
bool InterruptRequested() { return g_requested.load(); }
void ClearInterrupt() { g_requested.store(false); }

}  // namespace mzt
