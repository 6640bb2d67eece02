#pragma once
// A valid speed-camera database made up from a seed: header, grid index over
// Taiwan and camera records sorted by grid cell. Every value is a pure
// function of the options and its position, so a reader can be checked
// against the generator field by field without keeping the records around.

#include <cstdint>
#include <filesystem>

#include "common/CameraRecord.h"
#include "common/Result.h"
#include "database/DatabaseLayout.h"

namespace mzt::dbgen {

struct DatabaseOptions {
  uint16_t year = 2024;
  uint8_t month = 1;
  uint8_t day = 1;
  uint16_t number = 1;
  uint16_t gridA = 8;   // cells from west to east
  uint16_t gridB = 16;  // cells from south to north
  uint64_t records = 1000;
  uint64_t seed = 1;
};

// Every header field, in file order.
struct HeaderValues {
  uint16_t year;
  uint8_t month;
  uint8_t day;
  uint16_t number;
  uint16_t layoutRevision;  // offset 10
  float south, west, north, east;  // the grid's bounds, offsets 12 to 24
  uint16_t gridA, gridB;
  float cellHeight, cellWidth;  // degrees, offsets 32 and 36
  uint32_t recordCount;         // offset 40
};

struct IndexEntry {
  uint32_t row;           // entry value 0
  uint32_t column;        // entry value 1
  uint32_t recordCount;   // entry value 2
  uint32_t recordOffset;  // from the start of the file
};

class SyntheticDatabase {
 public:
  explicit SyntheticDatabase(const DatabaseOptions& options);

  const DatabaseOptions& Options() const { return options_; }
  HeaderValues Header() const;
  uint64_t CellCount() const { return uint64_t{options_.gridA} * options_.gridB; }
  uint64_t IndexLength() const { return mzt::IndexLength(options_.gridA, options_.gridB); }
  uint64_t RecordsOffset() const { return kDatabaseHeaderSize + IndexLength(); }
  uint64_t FileSize() const { return RecordsOffset() + options_.records * CameraRecord::kSize; }

  IndexEntry Entry(uint64_t cell) const;  // cell = row * gridA + column
  uint32_t TrailingValue() const;         // the record count
  CameraRecord Record(uint64_t index) const;
  uint64_t CellOfRecord(uint64_t index) const;
  uint64_t FirstRecordOfCell(uint64_t cell) const;

  // Writes the little-endian file completely or not at all.
  Result<void> WriteTo(const std::filesystem::path& path) const;

 private:
  DatabaseOptions options_;
};

// The most records that fit in `bytes` together with the header and index;
// 0 when not even those fit.
uint64_t RecordsForSize(uint64_t bytes, uint16_t gridA, uint16_t gridB);

}  // namespace mzt::dbgen
