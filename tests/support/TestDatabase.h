#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "database/DatabaseSplitter.h"

namespace mzt::test {

// A database file of `size` bytes (at least the 44-byte header) whose
// little-endian header carries the version; the rest is a counting pattern.
inline std::string TestDatabaseBytes(int year, int month, int day, int number, size_t size) {
  std::string bytes(size < 44 ? 44 : size, '\0');
  bytes.replace(0, 4, "%CDB");
  bytes[4] = static_cast<char>(year & 0xFF);
  bytes[5] = static_cast<char>(year >> 8);
  bytes[6] = static_cast<char>(month);
  bytes[7] = static_cast<char>(day);
  bytes[8] = static_cast<char>(number & 0xFF);
  bytes[9] = static_cast<char>(number >> 8);
  for (size_t i = 44; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
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
