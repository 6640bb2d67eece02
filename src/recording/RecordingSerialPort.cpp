#include "recording/RecordingSerialPort.h"

#include <atomic>

#include "platform/DeviceAccess.h"

namespace mzt {
namespace {

class RecordingSerialPort : public ISerialPort {
 public:
  RecordingSerialPort(std::unique_ptr<ISerialPort> port, std::shared_ptr<SessionRecorder> recorder)
      : port_(std::move(port)), recorder_(std::move(recorder)) {}

  Result<void> Open(const std::string& name, int baudRate) override {
    auto opened = port_->Open(name, baudRate);
    auto device = UsbSerialPortOf(name);
    recorder_->PortOpened(name, device ? device->serialNumber : std::string(),
                          opened ? std::string() : opened.Err().message);
    name_ = name;
    gone_ = false;
    return opened;
  }
  void Close() override {
    bool wasOpen = port_->IsOpen();
    port_->Close();
    if (wasOpen) recorder_->PortClosed(name_);
  }
  bool IsOpen() const override { return port_->IsOpen(); }
  Result<void> Write(std::span<const uint8_t> bytes, std::chrono::milliseconds deadline) override {
    // Before the write: its reply may be read before the write returns.
    recorder_->Written(bytes);
    auto written = port_->Write(bytes, deadline);
    if (!written) Gone(written.Err());
    return written;
  }
  Result<size_t> Read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override {
    auto got = port_->Read(buffer, timeout);
    if (!got) Gone(got.Err());
    else if (got.Value() > 0) recorder_->Read(std::span<const uint8_t>(buffer.data(), got.Value()));
    return got;
  }
  void WakeReader() override { port_->WakeReader(); }

 private:
  // Recorded once per opening: the reader keeps meeting the gone port.
  void Gone(const Error& error) {
    if (error.code == ErrorCode::kDisconnected && !gone_.exchange(true)) recorder_->PortUnplugged(name_);
  }

  std::unique_ptr<ISerialPort> port_;
  std::shared_ptr<SessionRecorder> recorder_;
  std::string name_;
  std::atomic<bool> gone_{false};
};

}  // namespace

std::unique_ptr<ISerialPort> MakeRecordingSerialPort(std::unique_ptr<ISerialPort> port,
                                                     std::shared_ptr<SessionRecorder> recorder) {
  return std::make_unique<RecordingSerialPort>(std::move(port), std::move(recorder));
}

}  // namespace mzt
