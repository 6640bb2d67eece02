#pragma once
// The device's end of a pty, played by hand: the simulator's pty with the
// blocking reads and writes a test wants.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "devsim/Pty.h"

namespace mzt::test {

class PtyDevice : public devsim::Pty {
 public:
  PtyDevice() { EXPECT_TRUE(Open()); }

  void Write(const std::string& bytes) {
    EXPECT_TRUE(Pty::Write({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                           std::chrono::seconds(5)));
  }
  // What arrives until `count` bytes came or the time-out passed.
  std::string Read(size_t count, std::chrono::milliseconds timeout) {
    std::string bytes;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    devsim::Wakeup never;
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline &&
           WaitReadable(never, std::chrono::duration_cast<std::chrono::microseconds>(
                                   deadline - std::chrono::steady_clock::now())) == Wait::kReadable) {
      uint8_t buffer[4096];
      auto n = Pty::Read({buffer, std::min(sizeof buffer, count - bytes.size())});
      if (!n || n.Value() == 0) break;
      bytes.append(reinterpret_cast<const char*>(buffer), n.Value());
    }
    return bytes;
  }
};

}  // namespace mzt::test
