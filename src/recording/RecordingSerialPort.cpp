#include "recording/RecordingSerialPort.h"

#include <atomic>

#include "platform/DeviceAccess.h"

namespace mzt {
namespace {

class RecordingSerialPort : public ISerialPort {
 public:
  RecordingSerialPort(std::unique_ptr<ISerialPort> port, std::shared_ptr<RecorderSlot> slot)
      : port_(std::move(port)), slot_(std::move(slot)) {}

  Result<void> Open(const std::string& name, int baudRate) override {
    auto opened = port_->Open(name, baudRate);
    name_ = name;
    gone_ = false;
    auto recorder = slot_->Get();
    if (!recorder) return opened;
    auto device = UsbSerialPortOf(name);
    recorder->PortOpened(name, device ? device->serialNumber : std::string(),
                         opened ? std::string() : opened.Err().message);
    return opened;
  }
  void Close() override {
    bool wasOpen = port_->IsOpen();
    port_->Close();
    if (auto recorder = slot_->Get(); recorder && wasOpen) recorder->PortClosed(name_);
  }
  bool IsOpen() const override { return port_->IsOpen(); }
  Result<void> Write(std::span<const uint8_t> bytes, std::chrono::milliseconds deadline) override {
    // Before the write: its reply may be read before the write returns.
    if (auto recorder = slot_->Get()) recorder->Written(bytes);
    auto written = port_->Write(bytes, deadline);
    if (!written) Gone(written.Err());
    return written;
  }
  Result<size_t> Read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override {
    auto got = port_->Read(buffer, timeout);
    if (!got) Gone(got.Err());
    else if (auto recorder = got.Value() > 0 ? slot_->Get() : nullptr)
      recorder->Read(std::span<const uint8_t>(buffer.data(), got.Value()));
    return got;
  }
  void WakeReader() override { port_->WakeReader(); }

 private:
  // Recorded once per opening: the reader keeps meeting the gone port.
  void Gone(const Error& error) {
    if (error.code != ErrorCode::kDisconnected || gone_.exchange(true)) return;
    if (auto recorder = slot_->Get()) recorder->PortUnplugged(name_);
  }

  std::unique_ptr<ISerialPort> port_;
  std::shared_ptr<RecorderSlot> slot_;
  std::string name_;
  std::atomic<bool> gone_{false};
};

}  // namespace

std::unique_ptr<ISerialPort> MakeRecordingSerialPort(std::unique_ptr<ISerialPort> port,
                                                     std::shared_ptr<RecorderSlot> slot) {
  return std::make_unique<RecordingSerialPort>(std::move(port), std::move(slot));
}

}  // namespace mzt
