#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/SerialPort.h"

namespace mzt {

// A COM port on a synchronous handle, as the device link has always used it:
// no sharing, the port's time-outs bound every read and write.
class WindowsSerialPort final : public ISerialPort {
 public:
  ~WindowsSerialPort() override;

  Result<void> Open(const std::string& name, int baudRate) override;
  void Close() override;
  bool IsOpen() const override { return handle_.load() != INVALID_HANDLE_VALUE; }
  Result<void> Write(std::span<const uint8_t> bytes, std::chrono::milliseconds deadline) override;
  Result<size_t> Read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override;

 private:
  // Applies (0, 0, read, 0, write) when either differs from what the port
  // has; kKeep leaves that one as it is.
  static constexpr DWORD kKeep = 0;
  bool UseTimeouts(HANDLE handle, DWORD readMs, DWORD writeMs);
  Result<void> WaitUntilSent(HANDLE handle, std::chrono::steady_clock::time_point deadline);
  Error Gone(const char* what, DWORD code);

  std::atomic<HANDLE> handle_{INVALID_HANDLE_VALUE};
  std::atomic<bool> gone_{false};
  std::mutex timeoutsMutex_;
  DWORD readTimeoutMs_ = 0;
  DWORD writeTimeoutMs_ = 0;
};

}  // namespace mzt
