#pragma once
// The desktop program's recording: MZT_RECORD=FILE records from the start,
// and the About tab switches a recording into the data folder on and off.
// The decorators made here record while it is on.

#include <filesystem>
#include <memory>
#include <string>

#include "common/Result.h"
#include "platform/HttpClient.h"
#include "platform/SerialPort.h"
#include "recording/SessionRecorder.h"

namespace mzt {

class RecordingSwitch {
 public:
  // Starts recording into $MZT_RECORD when it is set (a file that cannot be
  // made is told on standard error).
  explicit RecordingSwitch(std::string program);
  ~RecordingSwitch() { TurnOff(); }
  RecordingSwitch(const RecordingSwitch&) = delete;
  RecordingSwitch& operator=(const RecordingSwitch&) = delete;

  std::unique_ptr<ISerialPort> Port(std::unique_ptr<ISerialPort> port) const;
  HttpClientFactory HttpClients() const;

  // Records into `file`; one running recording is ended first.
  Result<void> TurnOn(const std::filesystem::path& file);
  // "session-YYYYMMDD-HHMMSSZ.jsonl" (UTC) in `folder`, for a recording started by hand.
  static std::filesystem::path NewFileIn(const std::filesystem::path& folder);
  void TurnOff();
  bool IsOn() const { return slot_->Get() != nullptr; }

 private:
  std::string program_;
  std::shared_ptr<RecorderSlot> slot_ = std::make_shared<RecorderSlot>();
};

}  // namespace mzt
