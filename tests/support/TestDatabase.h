#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "database/DatabaseSplitter.h"

namespace mzt::test {

// A whole database file of `size` bytes (down to a multiple of 4, at least
// 48) whose little-endian header carries the version: a row of grid cells
// with a record each as far as they go, the rest in the last cell; the
// records are a counting pattern.
inline std::string TestDatabaseBytes(int year, int month, int day, int number, size_t size) {
  size = size < 48 ? 48 : size / 4 * 4;
  // 16 bytes a cell and 36 a record fill what the header and the trailing value leave.
  const size_t room = size - 48;
  size_t records = room / 36;
  while ((room - records * 36) % 16 != 0) --records;
  size_t cells = (room - records * 36) / 16;
  if (cells == 0 && records > 0) records -= 4, cells = 9;
  std::string bytes(size, '\0');
  auto put32 = [&bytes](size_t at, size_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> 8 * i);
  };
  bytes.replace(0, 4, "%CDB");
  bytes[4] = static_cast<char>(year & 0xFF);
  bytes[5] = static_cast<char>(year >> 8);
  bytes[6] = static_cast<char>(month);
  bytes[7] = static_cast<char>(day);
  bytes[8] = static_cast<char>(number & 0xFF);
  bytes[9] = static_cast<char>(number >> 8);
  bytes[28] = static_cast<char>(cells & 0xFF);
  bytes[29] = static_cast<char>(cells >> 8);
  bytes[30] = 1;
  put32(40, records);
  const size_t first = 48 + cells * 16;
  for (size_t cell = 0; cell < cells; ++cell) {
    size_t before = cell < records ? cell : records;
    put32(44 + cell * 16 + 8, cell + 1 < cells ? (cell < records ? 1 : 0) : records - before);
    put32(44 + cell * 16 + 12, first + 36 * before);
  }
  put32(first - 4, records);
  for (size_t i = first; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  return bytes;
}

// Splits `database` into FF00.bin, FF01.bin and FF02.bin beside it, as an update does.
inline bool SplitBeside(const std::filesystem::path& database) {
  DatabaseSplitter splitter;
  std::filesystem::path out;
  return splitter.SplitHeader(database, true, out) && splitter.SplitIndex(database, true, out) &&
         splitter.SplitRecords(database, true, out);
}

}  // namespace mzt::test
