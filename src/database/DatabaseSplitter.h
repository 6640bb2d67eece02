#pragma once
// Splits a speed-camera database file into the device's three files, every
// multi-byte field turned big-endian: "FF00.bin" (header), "FF01.bin" (grid
// index, record offsets counted from the first record) and "FF02.bin"
// (camera records), each in the output folder (by default the database
// file's own folder).
//
// The steps run in the order header, index, records. The header step opens
// and checks the file; the index and records steps go on reading that open
// file where the step before stopped, with the layout the header step read,
// so the file is read once and each device file written once, completely or
// not at all. No step ever writes over the database file itself: the header
// step checks all three device files before it writes any.
// Errors: kFormat when the file is not a whole database (missing, no "%CDB",
// shorter than its header or its grid index, records cut short or padded or
// outside the index's cells, or cut short while it is read); kInvalidArgument when a device file would be the database file, or
// a later step does not follow a header step of the same file; kIo with the
// system's text when a device file cannot be written.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "common/Result.h"
#include "database/DatabaseLayout.h"

namespace mzt {

// The three device files of one split.
struct DeviceFiles {
  std::filesystem::path header, index, records;
};

class DatabaseSplitter {
 public:
  // An empty `outputFolder` writes next to the database file.
  explicit DatabaseSplitter(std::filesystem::path outputFolder = {})
      : outputFolder_(std::move(outputFolder)) {}

  // Each step sets its out path before it writes, also when it then fails.
  // With `swap` clear the fields keep the file's byte order (offsets are
  // still rebased).
  Result<void> SplitHeader(const std::filesystem::path& databasePath, bool swap,
                           std::filesystem::path& outFf00Path);
  Result<void> SplitIndex(const std::filesystem::path& databasePath, bool swap,
                          std::filesystem::path& outFf01Path);
  Result<void> SplitRecords(const std::filesystem::path& databasePath, bool swap,
                            std::filesystem::path& outFf02Path);

  // The three steps in order. A failure removes the files the steps before
  // it wrote, so that no half set of device files is left.
  Result<DeviceFiles> SplitAll(const std::filesystem::path& databasePath, bool swap = true);

  // The grid size read by the last successful header step.
  std::optional<uint16_t> GridA() const;
  std::optional<uint16_t> GridB() const;

 private:
  struct Grid {
    uint16_t a;
    uint16_t b;
  };
  enum class Stage { kIndex, kRecords };
  // The database file the header step opened, and where its reading stands.
  struct Source {
    CheckedDatabase database;
    std::filesystem::path path;
    Stage next;
  };
  // The open file for `stage`, positioned at its part; kInvalidArgument when
  // no header step of this file came first.
  Result<Source*> Continue(const std::filesystem::path& databasePath, Stage stage);
  static Result<void> WriteIndex(Source& source, bool swap, const std::filesystem::path& outFf01Path);
  static Result<void> WriteRecords(Source& source, bool swap,
                                   const std::filesystem::path& outFf02Path);
  std::filesystem::path OutputPath(const std::filesystem::path& databasePath,
                                   uint16_t identifier) const;
  // kInvalidArgument when the device file `identifier` is the database file.
  Result<void> CheckNotInput(const std::filesystem::path& databasePath, uint16_t identifier) const;

  std::filesystem::path outputFolder_;
  std::optional<Grid> grid_;
  std::optional<Source> source_;
};

}  // namespace mzt
