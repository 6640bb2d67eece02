#pragma once

#include <chrono>
#include <string>

namespace mzt::test {

// A pseudo-terminal whose slave path the program opens as its serial port
// while the test plays the device on the master side.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  void Write(const std::string& bytes);
  // Reads what arrives until `count` bytes came or the time-out passed.
  std::string Read(size_t count, std::chrono::milliseconds timeout);
  // Closes the master side: the program sees the device go away.
  void CloseMaster();

 private:
  int master_ = -1;
  int slaveKeeper_ = -1;  // keeps the master readable while the program reopens
  std::string slavePath_;
};

}  // namespace mzt::test
