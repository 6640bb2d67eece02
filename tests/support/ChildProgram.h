#pragma once
// A program run as a child with its output watched as it grows, so that a
// test acts on markers in the output, never on time.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace mzt::test {

struct ChildRun {
  int status = -1;             // -1: ended by a signal
  std::string output;          // standard error, and standard output unless kept apart
  std::string standardOutput;  // when kept apart
};

struct ChildOptions {
  bool onTerminal = false;       // a pty instead of a pipe
  std::string typed{};           // written to the terminal at start
  bool separateOutput = false;   // standard output to a pipe of its own
  // Sees the output so far as it grows.
  std::function<void(const std::string& output, pid_t)> watch{};
  // Runs in the child before exec (async-signal-safe calls only).
  void (*childSetup)() = nullptr;
  // The output's reader goes away once the output shows this, as `| head` does.
  std::string closeAt{};
};

// `args[0]` is the program's path; `environment` is the whole environment.
ChildRun RunChild(std::vector<std::string> args, std::vector<std::string> environment,
                  const ChildOptions& options);

}  // namespace mzt::test
