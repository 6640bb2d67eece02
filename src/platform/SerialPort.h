#pragma once
// A serial port as the device link uses it: opened exclusively by name, raw
// 8N1 without flow control, bounded writes and polled reads.

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/Result.h"
#include "common/TextFill.h"
#include "platform/Translation.h"

namespace mzt {

class ISerialPort {
 public:
  virtual ~ISerialPort() = default;

  // Opens the port exclusively (kBusy when another program holds it).
  virtual Result<void> Open(const std::string& name, int baudRate) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Writes all bytes and waits until they have left the output queue, all
  // within `deadline`. On failure the output queue is flushed so that a retry
  // starts clean. Fails at once (kDisconnected) once the port has gone away.
  virtual Result<void> Write(std::span<const uint8_t> bytes,
                             std::chrono::milliseconds deadline) = 0;

  // Waits up to `timeout` for bytes and reads what has arrived: 0 bytes on a
  // time-out, kDisconnected when the port has gone away (unplugged).
  virtual Result<size_t> Read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) = 0;

  // Ends a waiting Read at once with 0 bytes, from another thread, so that a
  // reader told to stop need not wait out its timeout. A port without the
  // means lets the timeout run.
  virtual void WakeReader() {}
};

std::unique_ptr<ISerialPort> CreateSerialPort();

// The refusal of a port that another program holds (kBusy).
inline Error PortInUse(const std::string& name, int systemCode = 0) {
  return Error{ErrorCode::kBusy, Fill(Tr("open {1}"), {name}) + ": " + Tr("another program is using the port"), systemCode};
}

// What the user can do about a failed Open: the usual fix for a port they
// may not open or one that another program holds; empty otherwise.
std::string PortOpenAdvice(const Error& error);

}  // namespace mzt
