#pragma once
// The program's one connection to the device: the serial port, its reader
// thread, the sentence receiver with its command objects, and the device
// operations built on them.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "devicelink/Nmea.h"
#include "devicelink/SentenceFramer.h"
#include "platform/SerialPort.h"

namespace mzt {

class CDevicePort {
 public:
  enum class WireDirection { kToDevice, kFromDevice };
  using WireObserver = std::function<void(WireDirection, std::span<const uint8_t>)>;

  explicit CDevicePort(std::unique_ptr<ISerialPort> port = CreateSerialPort());
  ~CDevicePort();
  CDevicePort(const CDevicePort&) = delete;
  CDevicePort& operator=(const CDevicePort&) = delete;

  // Opens the port by name (a device path here) at the baud rate, 8N1, and
  // starts the reader. An open port is closed first.
  bool OpenPort(const std::string& name, int baudRate = 115200, int parity = 0);
  void ClosePort();
  bool IsOpen() const { return port_->IsOpen(); }
  const std::string& PortName() const { return portName_; }
  // Why the last OpenPort failed.
  const std::string& LastOpenError() const { return lastOpenError_; }

  // Writes one sentence or data frame after the write pause, within the
  // write time-out.
  bool WriteBytes(const uint8_t* data, size_t length);
  bool WriteBytes(std::span<const uint8_t> bytes) { return WriteBytes(bytes.data(), bytes.size()); }

  // The five time-outs in the platform's order: read interval, read
  // multiplier, read constant (the reader's poll), write multiplier, write
  // constant (the write deadline).
  void ApplyTimeouts(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                     uint32_t writeMultiplier, uint32_t writeConstant);

  CNMEA& Receiver() { return receiver_; }
  // Called on the reader thread after every accepted reply; nothing by default.
  void SetSentenceNotification(CNMEA::Notification notification) {
    receiver_.SetNotification(std::move(notification));
  }
  // Sees every byte written and every byte read (the command line's --verbose).
  void SetWireObserver(WireObserver observer);

 private:
  bool StartReader();
  void StopReader();
  void ReaderLoop(std::stop_token stop);
  void Observe(WireDirection direction, std::span<const uint8_t> bytes);

  std::unique_ptr<ISerialPort> port_;
  std::string portName_;
  std::string lastOpenError_;
  int baudRate_ = -1;
  std::atomic<uint32_t> readConstantMs_{50};
  std::atomic<uint32_t> writeConstantMs_{1000};
  uint32_t timeouts_[5] = {0, 0, 50, 0, 1000};

  SentenceFramer framer_;
  CNMEA receiver_;
  std::jthread reader_;

  std::mutex observerMutex_;
  WireObserver observer_;
};

}  // namespace mzt
