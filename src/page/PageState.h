#pragma once
// The speed-camera page's state that its flows share: what the device
// reported, what the server offers, and where the files are.

#include <atomic>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/DeviceEnumeration.h"

namespace mzt {

enum class PageMode { kUpdate, kClearPoi, kQuery, kExportPoi };

// How the last flow ended, for the command line's exit status.
enum class FlowOutcome {
  kNone,
  kSuccess,
  kUpToDate,            // the server has nothing newer
  kDeviceUnreachable,   // the port or the device did not answer
  kNetworkFailure,      // the server or the network failed
  kInvalidDatabase,
  kDeclined,            // the user answered No
  kTransferFailed,
  kFileError,           // a file of the program's could not be written
};

// The device's database during an upload: the old one deleted and the new
// one not yet complete is kInProgress; kIncomplete once that ended short.
enum class DeviceChange { kNone, kInProgress, kIncomplete, kDone };

// The device's database as its file listing and its version report show it.
enum class DeviceDatabase {
  kNone,
  kComplete,    // all three files whole, and a version
  kIncomplete,  // a file missing or never finished: an update was cut short
  kUnknown,     // a version but no file listed: the listing cannot be trusted
};

struct DatabaseVersion {
  uint16_t year = 2008;
  uint8_t month = 1;
  uint8_t day = 1;
  int32_t number = 1;  // 2008-01-01 number 1 stands for "no database"

  // Older before newer: date, then number.
  auto operator<=>(const DatabaseVersion&) const = default;
};

struct DeviceFileRecord {
  int32_t identifier = 0;
  int32_t location = 0;
};

struct FirmwareFlags {
  bool exact1003 = false;     // firmware text exactly "1.0.0.3"
  bool block8192 = true;      // transfer blocks of 8192 bytes, else 11264
  bool regionCapable = false; // minor version 3 or more
  bool regionQuery = false;   // minor version 4 or more: the device is asked its region
};

// How the last POI export ended: the lines written to "POI.csv" of the POIs
// the device holds.
struct PoiBackup {
  int32_t held = 0;          // -1 when the device did not tell its count
  int32_t saved = 0;
  int32_t unread = 0;        // POIs the device did not send
  bool fileFailed = false;   // "POI.csv" could not be opened or written
  std::string fileProblem{};  // why, with the file or folder it concerns

  bool CountKnown() const { return held >= 0; }
  bool Complete() const { return CountKnown() && saved == held; }
};

// What an update keeps across its own runs after a failed transfer.
struct UpdateRetry {
  bool rerun = false;        // this run follows a failed transfer and the replug
  int failedTransfers = 0;   // of this update's database
  std::wstring poisSavedOf;  // the device whose POIs this update saved
};

struct PageState {
  std::filesystem::path databasePath;  // the database file to upload
  // The update's own folder for the download and the device files.
  std::filesystem::path workFolder;
  std::filesystem::path ff00Path, ff01Path, ff02Path;
  DeviceFileRecord records[3];  // 0xFF00, 0xFF01, 0xFF02 as the device listed them
  int fileIndex = 1;
  std::string portName;
  std::optional<UsbSerialPort> portDevice;  // the opened port's device, as listed then
  std::string firmwareVersion;  // as the device reported it; empty when not read
  DatabaseVersion deviceVersion;  // the default unless the device holds a database
  DeviceDatabase deviceDatabase = DeviceDatabase::kNone;
  std::wstring deviceId;
  int32_t poiCount = 0;
  std::optional<PoiBackup> poiBackup;  // none until this flow's export ran
  std::string deviceRegionCode;  // "TW", "CN", or empty when the device was not asked
  std::wstring newDbDate;
  int32_t newDbNumber = 0;
  std::string downloadUrl;
  PageMode mode = PageMode::kQuery;
  std::atomic<bool> uploadInProgress{false};  // read by the transfer's progress callback
  std::atomic<DeviceChange> deviceChange{DeviceChange::kNone};  // read by front ends at Ctrl-C
  FirmwareFlags firmware;
  bool skipWarning = false;
  UpdateRetry retry;
  std::wstring waitText;  // the wait dialog's caption as first read by the file listing
};

}  // namespace mzt
