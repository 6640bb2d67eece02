#pragma once
// The device's end of a pseudo-terminal: the master, plus a slave descriptor
// of its own so that the master stays readable while the program closes and
// reopens the port.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "common/Result.h"
#include "devsim/Wakeup.h"

namespace mzt::devsim {

class Pty {
 public:
  Pty() = default;
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // A new pair in raw mode; answers the slave's path.
  Result<std::string> Open();
  // Closing the master is what the program sees as the cable being pulled.
  void Close();
  bool IsOpen() const { return master_ >= 0; }
  const std::string& SlavePath() const { return slavePath_; }

  enum class Wait { kReadable, kWoken, kTimeout };
  Wait WaitReadable(Wakeup& wakeup, std::chrono::microseconds timeout);
  // What has arrived, without waiting; 0 when nothing has.
  Result<size_t> Read(std::span<uint8_t> buffer);
  // Writes everything before the deadline, or fails.
  Result<void> Write(std::span<const uint8_t> bytes, std::chrono::milliseconds deadline);

 private:
  int master_ = -1;
  int slaveKeeper_ = -1;
  std::string slavePath_;
};

}  // namespace mzt::devsim
