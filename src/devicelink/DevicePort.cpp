#include "devicelink/DevicePort.h"

#include <algorithm>
#include <chrono>
#include <initializer_list>

#include "common/Timing.h"

namespace mzt {

CDevicePort::CDevicePort(std::unique_ptr<ISerialPort> port) : port_(std::move(port)) {
  for (CMZTCmd* command : std::initializer_list<CMZTCmd*>{&cmd995_, &cmd996_, &cmd999_, &cmd113_,
                                                          &cmd108_, &cmd109_, &cmd114_})
    receiver_.Attach(*command);
}

void CDevicePort::ResetReplyEvents() {
  for (CMZTCmd* command : std::initializer_list<CMZTCmd*>{&cmd995_, &cmd996_, &cmd999_, &cmd113_,
                                                          &cmd108_, &cmd109_, &cmd114_})
    command->ReplyEvent().Reset();
}

CDevicePort::~CDevicePort() { ClosePort(); }

bool CDevicePort::OpenPort(const std::string& name, int baudRate, int /*parity*/) {
  std::lock_guard lock(lifetimeMutex_);
  CloseLocked();
  framer_.Reset();
  // Nothing from an earlier connection may satisfy a wait on this one.
  ResetReplyEvents();
  chunkSize_ = 0;
  firstChunk_ = true;
  fileSize_ = 0;
  fileBytesAcknowledged_ = 0;
  portName_ = name;
  stopRequested_ = false;
  if (auto opened = port_->Open(name, baudRate); !opened) {
    lastOpenError_ = opened.Err();
    return false;
  }
  lastOpenError_ = Error{ErrorCode::kIo, {}};
  ApplyTimeouts(0, 0, ProductionMilliseconds(Delay::kReaderPoll), 0,
                ProductionMilliseconds(Delay::kWriteDeadline));
  return StartReader();
}

void CDevicePort::ClosePort() {
  std::lock_guard lock(lifetimeMutex_);
  CloseLocked();
}

void CDevicePort::CloseLocked() {
  if (!port_->IsOpen() && !reader_.joinable()) return;
  StopReader();
  port_->Close();
}

// The port takes a deadline with each read and write, so only the read
// constant (the poll) and the write constant (the deadline) apply.
void CDevicePort::ApplyTimeouts(uint32_t /*readInterval*/, uint32_t /*readMultiplier*/,
                                uint32_t readConstant, uint32_t /*writeMultiplier*/,
                                uint32_t writeConstant) {
  readConstantMs_ = readConstant;
  writeConstantMs_ = writeConstant;
}

bool CDevicePort::WriteBytes(const uint8_t* data, size_t length) {
  if (!data || !port_->IsOpen()) return false;
  Pause(Delay::kWritePause);
  return Transmit(std::span(data, length));
}

bool CDevicePort::Transmit(std::span<const uint8_t> bytes) {
  if (!port_->IsOpen()) return false;
  Observe(WireDirection::kToDevice, bytes);
  return port_->Write(bytes, ScaledTimeout(static_cast<int>(writeConstantMs_.load()))).Ok();
}

void CDevicePort::SetWireObserver(WireObserver observer) {
  std::lock_guard lock(observerMutex_);
  observer_ = std::move(observer);
}

void CDevicePort::Observe(WireDirection direction, std::span<const uint8_t> bytes) {
  std::lock_guard lock(observerMutex_);
  if (observer_) observer_(direction, bytes);
}

bool CDevicePort::StartReader() {
  try {
    reader_ = std::jthread([this](std::stop_token stop) { ReaderLoop(stop); });
  } catch (const std::system_error&) {
    port_->Close();
    return false;
  }
  return true;
}

void CDevicePort::StopReader() {
  if (!reader_.joinable()) return;
  // The reader checks the flag at least every poll period and never waits on
  // another thread, so a join is enough; the wake spares the rest of its poll.
  reader_.request_stop();
  port_->WakeReader();
  reader_.join();
}

void CDevicePort::ReaderLoop(std::stop_token stop) {
  uint8_t buffer[4096];
  const auto sink = [this](std::span<const uint8_t> block) { receiver_.ProcessBlock(block); };
  while (!stop.stop_requested()) {
    // The poll period bounds how long a stop request waits.
    auto poll = std::chrono::milliseconds(
        std::clamp<uint32_t>(readConstantMs_.load(), 1, ProductionMilliseconds(Delay::kReaderPoll)));
    auto got = port_->Read(buffer, poll);
    if (!got) {
      // The port went away (unplugged): back off instead of spinning; writes
      // fail at once meanwhile.
      std::this_thread::sleep_for(Duration(Delay::kReaderBackoff));
      continue;
    }
    if (got.Value() == 0) continue;
    auto bytes = std::span<const uint8_t>(buffer, got.Value());
    Observe(WireDirection::kFromDevice, bytes);
    framer_.Feed(bytes, sink);
  }
}

}  // namespace mzt
