#pragma once
// The speed-camera database file on the PC: a 44-byte "%CDB" header, the
// grid index (A x B entries of 16 bytes and a 32-bit trailing value) and the
// 36-byte camera records, little-endian, without gaps.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/Result.h"
#include "platform/InputFile.h"

namespace mzt {

inline constexpr uint64_t kDatabaseHeaderSize = 44;
inline constexpr uint64_t kIndexEntrySize = 16;
inline constexpr uint64_t kIndexTrailerSize = 4;
inline constexpr char kDatabaseMagic[4] = {'%', 'C', 'D', 'B'};

// A field of the file: where it starts and how many bytes it takes.
struct FileField {
  size_t offset;
  size_t width;
};

// The header's fields after the magic; multi-byte ones are little-endian.
namespace header_field {
inline constexpr FileField kYear{4, 2}, kMonth{6, 1}, kDay{7, 1}, kNumber{8, 2},
    kLayoutRevision{10, 2}, kSouth{12, 4}, kWest{16, 4}, kNorth{20, 4}, kEast{24, 4},
    kGridA{28, 2}, kGridB{30, 2}, kCellHeight{32, 4}, kCellWidth{36, 4}, kRecordCount{40, 4};
inline constexpr FileField kAll[] = {kYear, kMonth, kDay, kNumber, kLayoutRevision, kSouth,
                                     kWest, kNorth, kEast, kGridA, kGridB, kCellHeight,
                                     kCellWidth, kRecordCount};
}  // namespace header_field

// An index entry: four 32-bit values; the record offset counts from the
// start of the file.
namespace index_field {
inline constexpr FileField kRow{0, 4}, kColumn{4, 4}, kRecordCount{8, 4}, kRecordOffset{12, 4};
}  // namespace index_field

// Identifiers under which the device stores the database's three files.
inline constexpr uint16_t kHeaderFileId = 0xFF00;
inline constexpr uint16_t kIndexFileId = 0xFF01;
inline constexpr uint16_t kRecordsFileId = 0xFF02;

// What the header says and how the file divides, once the file was checked.
struct DatabaseLayout {
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
  uint16_t number = 0;
  uint16_t gridA = 0;
  uint16_t gridB = 0;
  uint64_t fileSize = 0;
  uint64_t indexLength = 0;  // L

  uint64_t RecordsOffset() const { return kDatabaseHeaderSize + indexLength; }
  uint64_t RecordsLength() const { return fileSize - RecordsOffset(); }
};

// L = A x B x 16 + 4; never overflows, whatever the header holds.
constexpr uint64_t IndexLength(uint16_t gridA, uint16_t gridB) {
  return uint64_t{gridA} * gridB * kIndexEntrySize + kIndexTrailerSize;
}

// A database file opened and checked, read up to the end of its header.
struct CheckedDatabase {
  InputFile file;
  DatabaseLayout layout;
  std::array<uint8_t, kDatabaseHeaderSize> header{};
};

// Checks the whole file without writing anything: it must open, hold the
// header with its magic and the complete grid index, and its records must be
// whole and end where the index says, no sooner and no later (see
// CheckRecordArea). Any failure is ErrorCode::kFormat with the reason in the
// message; the file is left at the end of its header.
Result<CheckedDatabase> OpenDatabase(const std::filesystem::path& databasePath);
Result<DatabaseLayout> InspectDatabase(const std::filesystem::path& databasePath);

// "FF00.bin" for 0xFF00: the device file's name is its identifier in hex.
std::string DeviceFileName(uint16_t identifier);
// The device file's path in the database file's folder.
std::filesystem::path DeviceFilePath(const std::filesystem::path& databasePath,
                                     uint16_t identifier);

}  // namespace mzt
