#pragma once
// The reduced grid index that firmware of minor version 3 or more takes in
// place of "FF01.bin": of each converted 16-byte entry its last eight bytes
// (entry value 2 and the record offset, big-endian), then four zero bytes.

#include <cstdint>
#include <filesystem>

#include "common/Result.h"

namespace mzt {

inline constexpr const char* kIndexFileName = "Index.bin";
// Bytes of Index.bin per grid cell.
inline constexpr uint64_t kReducedIndexEntrySize = 8;

// Writes `indexPath` completely or not at all. kFormat when "FF01.bin" is not
// whole entries and a trailing value; kIo with the system's text when a file
// cannot be read or written.
Result<void> MakeReducedIndex(const std::filesystem::path& ff01Path,
                              const std::filesystem::path& indexPath);

}  // namespace mzt
