#include "recording/RecordingSwitch.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "recording/RecordingHttpClient.h"
#include "recording/RecordingSerialPort.h"

namespace mzt {

RecordingSwitch::RecordingSwitch(std::string program) : program_(std::move(program)) {
  const char* file = std::getenv("MZT_RECORD");
  if (!file || !*file) return;
  if (auto on = TurnOn(std::filesystem::path(std::u8string(file, file + std::char_traits<char>::length(file))));
      !on)
    std::fprintf(stderr, "%s: MZT_RECORD: %s\n", program_.c_str(), on.Err().message.c_str());
}

std::unique_ptr<ISerialPort> RecordingSwitch::Port(std::unique_ptr<ISerialPort> port) const {
  return MakeRecordingSerialPort(std::move(port), slot_);
}

HttpClientFactory RecordingSwitch::HttpClients() const {
  return [slot = slot_] { return MakeRecordingHttpClient(CreateHttpClient(), slot); };
}

Result<void> RecordingSwitch::TurnOn(const std::filesystem::path& file) {
  TurnOff();
  auto made = SessionRecorder::Create(file, RecordingOptions{});
  if (!made) return std::move(made).TakeError();
  made.Value()->Begin({program_});
  slot_->Set(std::move(made).Value());
  return Success();
}

std::filesystem::path RecordingSwitch::NewFileIn(const std::filesystem::path& folder) {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  // In UTC, as the recording's times are no local matter; the UI thread alone calls this.
  char name[40];
  std::strftime(name, sizeof name, "session-%Y%m%d-%H%M%SZ.jsonl", std::gmtime(&now));
  return folder / name;
}

void RecordingSwitch::TurnOff() {
  if (auto recorder = slot_->Get()) {
    slot_->Set(nullptr);
    // The window has no exit status of its own: a session it ends ended well.
    recorder->End(0);
  }
}

}  // namespace mzt
