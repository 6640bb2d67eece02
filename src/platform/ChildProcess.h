#pragma once
// Another program run beside this one (Linux only: `mzt replay-check` runs
// the simulated device, which needs a pseudo-terminal). Standard error is
// shared; standard output is read a line at a time when asked.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/Result.h"

namespace mzt {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // `command[0]` is the program's path; `environment` ("NAME=value") is
  // added to this program's. With `readOutput`, standard output is a pipe
  // to ReadLine; otherwise it is this program's standard error.
  static Result<ChildProcess> Start(const std::vector<std::string>& command,
                                    const std::vector<std::string>& environment, bool readOutput);

  // The next line of its standard output, within `timeout`; kTimeout, or
  // kDisconnected when the output ended first.
  Result<std::string> ReadLine(std::chrono::milliseconds timeout);
  // Asks it to end (SIGTERM).
  void Terminate();
  // Waits for its end: its exit status, 128 + the signal that ended it.
  int Wait();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::string buffered_;
};

}  // namespace mzt
