#pragma once
// The program's one connection to the device: the serial port, its reader
// thread, the sentence receiver with its command objects, and the device
// operations built on them.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "common/CameraRecord.h"
#include "devicelink/Commands.h"
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
  // starts the reader. An open port is closed first. Open and close may be
  // called from different threads; each waits for the other to finish.
  bool OpenPort(const std::string& name, int baudRate = 115200, int parity = 0);
  void ClosePort();
  bool IsOpen() const { return port_->IsOpen(); }
  const std::string& PortName() const { return portName_; }
  // Why the last OpenPort failed.
  const std::string& LastOpenError() const { return lastOpenError_.message; }
  const Error& LastOpenFailure() const { return lastOpenError_; }

  // For a user who insists on stopping while the device is being changed: a
  // running transfer stops before its next frame and still tries its end
  // sentence; further deletions and transfers fail at once. OpenPort clears it.
  void RequestStop() { stopRequested_ = true; }

  // Writes one sentence or data frame after the write pause, within the
  // write time-out.
  bool WriteBytes(const uint8_t* data, size_t length);
  bool WriteBytes(std::span<const uint8_t> bytes) { return WriteBytes(bytes.data(), bytes.size()); }

  // The five time-outs in the platform's order, in production milliseconds:
  // read interval, read multiplier, read constant (the reader's poll), write
  // multiplier, write constant (the write deadline, scaled like the table's).
  void ApplyTimeouts(uint32_t readInterval, uint32_t readMultiplier, uint32_t readConstant,
                     uint32_t writeMultiplier, uint32_t writeConstant);

  // Device operations. Each composes its command, writes it and waits for
  // the reply with the command's time-out, with the attempts and pauses of
  // its kind; none shows a message.
  bool QueryDeviceInfo(int selector);
  bool ReadPoiRecord(int index);
  void CopyPoiRecord(CameraRecord& destination) const;
  bool ClearPois();
  int QueryUploadMode();  // the mode value, 0 on failure
  bool EnterUploadMode();
  bool QueryFileEntry(int index, int& fileIdentifier, int& location);
  bool DeleteDeviceFile(int expectedIdentifier, int location);
  void SetExactMode(bool exact) { cmd108_.SetExactMode(exact); }

  // The last decoded replies; they send nothing.
  std::string GetVersionText() const { return cmd108_.VersionText(); }
  std::string GetDeviceIdText() const { return cmd108_.DeviceIdText(); }
  int GetPoiCount() const { return cmd108_.PoiCount(); }
  int GetDatabaseVersion(uint16_t& year, uint8_t& month, uint8_t& day) const;
  std::string GetRegionCode() const { return cmd108_.RegionCode(); }

  // File transfer into the device.
  using ProgressCallback = std::function<void(uint32_t acknowledged, uint32_t fileSize)>;
  using ErrorReporter = std::function<void(const std::string& systemErrorText)>;
  static constexpr size_t kFileBufferSize = 1126400;
  static constexpr int kMaxChunkSize = 16384;
  static constexpr int kFileReadAttempts = 3;

  void SetChunkSize(int bytes);
  // The identifier comes from the hexadecimal start of the file name.
  bool SendFile(const std::filesystem::path& path);
  bool SendFileById(int fileIdentifier, const std::filesystem::path& path);
  bool BeginFileTransfer(int fileIdentifier);
  bool EndFileTransfer(int fileIdentifier);
  bool SendBuffer(int fileIdentifier, std::span<const uint8_t> bytes);
  bool SendChunk(int mode, int fileIdentifier, std::span<const uint8_t> bytes, int chunkCount);
  // Called on the transferring thread after each accepted frame and at the end.
  void SetProgressCallback(ProgressCallback callback) { progress_ = std::move(callback); }
  // Told the system's text when a file read fails.
  void SetErrorReporter(ErrorReporter reporter) { errorReporter_ = std::move(reporter); }
  static int FileIdentifierFromName(const std::filesystem::path& path);

  CNMEA& Receiver() { return receiver_; }
  // Called on the reader thread after every accepted reply; nothing by default.
  void SetSentenceNotification(CNMEA::Notification notification) {
    receiver_.SetNotification(std::move(notification));
  }
  // Sees every byte written and every byte read (the command line's --verbose).
  void SetWireObserver(WireObserver observer);

 private:
  void CloseLocked();
  bool StartReader();
  void StopReader();
  void ReaderLoop(std::stop_token stop);
  void Observe(WireDirection direction, std::span<const uint8_t> bytes);
  void ResetReplyEvents();
  // One write and one wait, the event cleared first so that only a reply
  // to this sentence (or a slow one to the previous attempt) counts.
  bool Attempt(CMZTCmd& command);
  bool SendAndWait(CMZTCmd& command);
  bool RunAttempts(CMZTCmd& command, int attempts);
  void ReportProgress(uint32_t acknowledged);
  // Writes at once, without the write pause.
  bool Transmit(std::span<const uint8_t> bytes);

  std::unique_ptr<ISerialPort> port_;
  // Held for the whole of an open or a close.
  std::mutex lifetimeMutex_;
  std::string portName_;
  Error lastOpenError_{ErrorCode::kIo, {}};
  std::atomic<bool> stopRequested_{false};
  std::atomic<uint32_t> readConstantMs_{50};
  std::atomic<uint32_t> writeConstantMs_{1000};

  SentenceFramer framer_;
  CNMEA receiver_;
  Cmd995 cmd995_;
  Cmd996 cmd996_;
  Cmd999 cmd999_;
  Cmd113 cmd113_;
  Cmd108 cmd108_;
  Cmd109 cmd109_;
  Cmd114 cmd114_;

  int chunkSize_ = 0;
  bool firstChunk_ = true;
  // A header of this file was sent twice: the device may have taken the
  // second as frame bytes, so no resend request can be trusted.
  bool headerRepeated_ = false;
  uint32_t fileSize_ = 0;
  uint32_t fileBytesAcknowledged_ = 0;  // of the file being sent
  ProgressCallback progress_;
  ErrorReporter errorReporter_;
  std::jthread reader_;

  std::mutex observerMutex_;
  WireObserver observer_;
};

}  // namespace mzt
