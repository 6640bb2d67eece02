#pragma once
// The device's flash: a table of files under 16-bit identifiers, each at a
// location value. Files that are present sit at non-zero locations; a file
// whose transfer never ended sits at location 0. With a folder the table and
// the files survive the process (table.txt and one "%04X.bin" per file).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/Result.h"

namespace mzt::devsim {

struct StoredFile {
  uint16_t id = 0;
  uint32_t location = 0;
  std::string data;
  bool complete = false;
};

class FileStore {
 public:
  // The location value the PC sends for a file it saw at location 0.
  static constexpr uint32_t kUnplacedAlias = 44;

  using Warn = std::function<void(const std::string&)>;

  // An empty folder keeps everything in memory.
  explicit FileStore(std::filesystem::path folder = {}, Warn warn = {});

  // Reads the table the folder holds; false when it holds none.
  Result<bool> LoadPersisted();
  // Adds FF00.bin, FF01.bin and FF02.bin of a folder as complete files; the
  // identifiers in `unplaced` are listed at location 0.
  Result<void> LoadDatabaseFolder(const std::filesystem::path& folder,
                                  const std::vector<uint16_t>& unplaced);

  const std::vector<StoredFile>& Table() const { return table_; }
  const StoredFile* Find(uint16_t id) const;
  uint64_t UsedBytes() const;

  // A new, empty file at location 0; an older file of the same identifier
  // goes.
  void Begin(uint16_t id);
  // Adds bytes to the file begun last; false when it is no longer there.
  bool Append(uint16_t id, std::span<const uint8_t> bytes);
  // The file is whole: it gets a location of its own.
  void Complete(uint16_t id);
  // Keeps what an interrupted transfer left.
  void Flush(uint16_t id);
  // Removes the file at a location value (kUnplacedAlias: the last file at
  // location 0) and answers it.
  std::optional<StoredFile> DeleteAt(uint32_t location);

 private:
  uint32_t FreeLocation() const;
  StoredFile* FindMutable(uint16_t id);
  void SaveTable();
  void SaveData(const StoredFile& file);
  void RemoveData(uint16_t id);
  void WarnAbout(const std::string& what, const std::error_code& ec);

  std::filesystem::path folder_;
  Warn warn_;
  std::vector<StoredFile> table_;
};

// "FF00.bin" for 0xFF00.
std::string DeviceFileName(uint16_t id);

}  // namespace mzt::devsim
