#pragma once
// The device's own POIs, appended to "POI.csv" (code page 950, CR LF) before
// every update.

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/CameraRecord.h"
#include "page/WorkFiles.h"

namespace mzt {

struct UtcTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

UtcTime CurrentUtcTime();

// The header line, in code page 950, written once into an empty file.
const std::string& PoiCsvHeader();

// One line: the export's UTC time, then the record's fields; the whole line,
// however long.
std::string FormatPoiLine(const CameraRecord& record, const UtcTime& time);

// "POI.csv" opened for appending (created when missing), with the header
// written when the file is empty. Each line is appended whole or not at all:
// a failed write is cut back to the length before it, so that a full disk
// leaves no torn line for the next backup to continue.
class PoiCsvFile {
 public:
  explicit PoiCsvFile(const std::filesystem::path& path);
  ~PoiCsvFile();
  PoiCsvFile(const PoiCsvFile&) = delete;
  PoiCsvFile& operator=(const PoiCsvFile&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // Writes one line straight to the file.
  bool Append(const std::string& line);
  // The system's error code of the last failure, 0 when none.
  int LastError() const { return error_; }

 private:
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  int error_ = 0;
};

}  // namespace mzt
