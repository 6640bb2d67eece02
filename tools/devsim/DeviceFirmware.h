#pragma once
// What the simulated device does with the bytes from the PC: it cuts them
// into sentences and data frames and answers the commands 108, 109, 113, 114,
// 995, 996 and 999 from its file store, POIs and upload mode, with the
// scripted faults. It answers reactions instead of writing, so it runs
// without any port.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devsim/DeviceParser.h"
#include "devsim/FaultScript.h"
#include "devsim/FileStore.h"
#include "devsim/Poi.h"

namespace mzt::devsim {

// The user parameters of a selector-3 reply.
struct DeviceParameters {
  int criticalAlert = 1;     // 0 or 1
  int roadAlert = 2;         // 1 to 3
  int alarmHour = 7;
  int alarmMinute = 30;
  int functionType = 1;      // 1 to 3
  int speedOffset = 0;
  uint8_t utcOffset = 0x10;  // units of 30 minutes, bit 7 for west of UTC: +8 h
  int amMode = 1;            // 1 or 2
  int amSpeedLimit = 60;
  int cameraSpeedLimit = 0;
};

struct DatabaseVersion {
  int year = 0;
  int month = 0;
  int day = 0;
  int number = 258;  // what a device without a database reports
  bool operator==(const DatabaseVersion&) const = default;
};

struct FrameRecord {
  uint16_t fileId = 0;
  size_t length = 0;
  bool intact = false;
  uint8_t status = 0;  // the status the device answered (or would have)
};

struct DeletionRecord {
  uint32_t location = 0;
  int fileId = -1;  // -1 when nothing was at the location
  int error = 0;    // 0 deleted, 1 refused, 2 nothing there
};

// What the device does after a unit: write `before` and `reply` (after
// `delay`), and perhaps change the frame expectation or leave the bus.
struct Reaction {
  std::string before;
  std::string reply;
  std::chrono::milliseconds delay{0};
  std::optional<std::pair<size_t, uint32_t>> frames;  // length, count
  bool unplug = false;
  std::chrono::milliseconds unplugFor{0};
};

class DeviceFirmware {
 public:
  // Status of a data frame that found the flash full.
  static constexpr int kStatusFlashFull = 3;

  struct Settings {
    std::string firmware = "1.4.0.7";
    std::string deviceId = "MZT0000001";
    std::string region = "TW";
    DeviceParameters parameters;
    std::vector<Poi> pois;
    bool uploadModeAtStart = false;
    bool rawFrames = false;  // see DeviceParser
    std::chrono::milliseconds flashTime{0};
    uint64_t flashCapacity = 16u << 20;
    bool record = true;
    std::function<void(const std::string&)> log;
  };

  DeviceFirmware(Settings settings, FileStore store);

  Result<void> AddFault(Fault fault) { return faults_.Add(std::move(fault)); }
  void ClearFaults() { faults_.Clear(); }

  struct Outcome {
    size_t consumed = 0;
    std::vector<Reaction> reactions;
  };
  // Takes bytes up to the end of one sentence or frame, or up to the byte
  // at which a byte-count fault fires, and answers what to do about them.
  // Call again with the rest.
  Outcome Feed(std::span<const uint8_t> bytes);
  bool ExpectsFrames() const { return parser_.InFrameMode(); }
  // The cable was pulled: an open transfer stays at location 0.
  void OnUnplug();
  // Plugged in again: a fresh start of the device's USB side.
  void OnReplug();

  bool ExactForm() const { return settings_.firmware == "1.0.0.3"; }
  bool InUploadMode() const { return uploadMode_ != 0; }
  bool Muted() const { return muted_; }
  DatabaseVersion Version() const;
  const FileStore& Store() const { return store_; }
  const std::vector<Poi>& Pois() const { return settings_.pois; }

  const std::vector<std::string>& Sentences() const { return sentences_; }
  uint64_t DamagedSentences() const { return damagedSentences_; }
  const std::vector<FrameRecord>& Frames() const { return frames_; }
  const std::vector<StoredFile>& ReceivedFiles() const { return receivedFiles_; }
  const std::vector<DeletionRecord>& Deletions() const { return deletions_; }

 private:
  Reaction OnUnit(const ParsedUnit& unit);
  Reaction OnSentence(const ParsedUnit& unit);
  Reaction OnFrame(const ParsedUnit& unit);
  std::string Answer108(int selector, const FaultHits& hits) const;
  std::string Answer113(int argument, const FaultHits& hits);
  std::string Answer114(int index) const;
  std::string Answer995(int index, const FaultHits& hits) const;
  std::string Answer996(uint32_t location, const FaultHits& hits);
  std::string Answer999(const std::vector<std::string>& fields, const FaultHits& hits,
                        Reaction& reaction);
  void LeaveTransfer();
  void Finish(Reaction& reaction, std::string reply, const FaultHits& hits);
  void Log(const std::string& line) const;

  Settings settings_;
  DeviceParser parser_;
  FileStore store_;
  FaultScript faults_;
  int uploadMode_ = 0;
  bool muted_ = false;

  // The transfer in progress.
  std::optional<uint16_t> openFile_;
  size_t frameLength_ = 0;
  uint32_t framesLeft_ = 0;
  bool groupBroken_ = false;  // the PC left a group of frames unfinished

  std::vector<std::string> sentences_;
  uint64_t damagedSentences_ = 0;
  std::vector<FrameRecord> frames_;
  std::vector<StoredFile> receivedFiles_;
  std::vector<DeletionRecord> deletions_;
};

// "$LOG109,1" -> "$LOG109,1*61\r\n".
std::string Sentence(std::string body);

}  // namespace mzt::devsim
