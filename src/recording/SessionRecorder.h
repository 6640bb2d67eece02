#pragma once
// One recorded session, written as JSON Lines while it happens (each line
// flushed as it is written, so that a crash or an unplug leaves a readable
// file): the program and the command, every sentence and data frame on the
// wire with its direction and time, the port's open, close and unplug, every
// HTTP request and its answer, and the exit status. docs/RECORDING.md
// describes the lines. Safe to call from any thread.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/JsonText.h"
#include "common/Result.h"
#include "recording/Anonymiser.h"

namespace mzt {

inline constexpr int kRecordingFormat = 1;

struct RecordingOptions {
  bool frameBytes = false;  // data frames with their bytes, not only size and digest
  bool anonymise = false;   // see Anonymiser
};

// One request and what came of it.
struct HttpExchange {
  std::string url;
  std::string proxy;  // "direct" or the proxy as shown to the user
  bool toFile = false;
  std::optional<int> status;
  std::vector<std::string> headers;  // "Name: value"
  std::string body;                  // an answer page
  std::optional<uint64_t> size;      // a download's
  std::string sha256;                // a download's
  std::string error;                 // when no complete answer came
};

class SessionRecorder {
 public:
  // A new file (one in its place is replaced); kIo with the reason when it cannot be made.
  static Result<std::shared_ptr<SessionRecorder>> Create(const std::filesystem::path& file,
                                                         RecordingOptions options);
  ~SessionRecorder();

  // The first line: the program, the platform, the command as given.
  void Begin(const std::vector<std::string>& command);
  void PortOpened(const std::string& port, const std::string& serialNumber, const std::string& error);
  void PortClosed(const std::string& port);
  void PortUnplugged(const std::string& port);
  // Bytes about to be written (each write is one sentence or one data
  // frame), or read (in whatever pieces; recorded a reply at a time).
  void Written(std::span<const uint8_t> bytes);
  void Read(std::span<const uint8_t> bytes);
  void Http(HttpExchange exchange);
  // The last line; later calls are ignored, so every exit path may call it.
  void End(int exitStatus);

  bool Anonymising() const { return options_.anonymise; }

 private:
  SessionRecorder(std::ofstream out, RecordingOptions options);
  JsonObject Line(const char* kind);
  void Emit(const JsonObject& line);
  void FlushReply(bool whole);

  mutable std::mutex mutex_;
  std::ofstream out_;
  RecordingOptions options_;
  Anonymiser anonymiser_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::string pendingReply_;  // read bytes of a reply not yet whole
  bool ended_ = false;
};

// Where the port's and the HTTP client's decorators find the recorder: set
// once by the command line, switched on and off by the desktop program.
class RecorderSlot {
 public:
  void Set(std::shared_ptr<SessionRecorder> recorder) {
    std::lock_guard lock(mutex_);
    recorder_ = std::move(recorder);
  }
  std::shared_ptr<SessionRecorder> Get() const {
    std::lock_guard lock(mutex_);
    return recorder_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<SessionRecorder> recorder_;
};

}  // namespace mzt
