#pragma once

#include <atomic>

#include "platform/SerialPort.h"

namespace mzt {

class PosixSerialPort final : public ISerialPort {
 public:
  PosixSerialPort();
  ~PosixSerialPort() override;

  Result<void> Open(const std::string& name, int baudRate) override;
  void Close() override;
  bool IsOpen() const override { return fd_.load() >= 0; }
  Result<void> Write(std::span<const uint8_t> bytes, std::chrono::milliseconds deadline) override;
  Result<size_t> Read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override;
  void WakeReader() override;

 private:
  Result<void> WaitUntilDrained(std::chrono::steady_clock::time_point deadline);

  std::atomic<int> fd_{-1};
  std::atomic<bool> gone_{false};
  // A pipe that WakeReader writes to and Read waits on with the port.
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
};

}  // namespace mzt
