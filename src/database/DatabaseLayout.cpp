#include "database/DatabaseLayout.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <system_error>
#include <vector>

#include "common/ByteOrder.h"
#include "common/CameraRecord.h"
#include "common/TextFill.h"
#include "platform/InputFile.h"
#include "platform/Translation.h"

namespace mzt {
namespace {


Error FormatError(const std::filesystem::path& path, std::string reason) {
  return Error{ErrorCode::kFormat, std::move(reason)}.With(Fill(Tr("{1}: not a valid speed-camera database"), {path.string()}));
}

// Where the index puts the records. Each 16-byte entry describes one grid
// cell: value 2 is the number of its records and value 3 the offset of its
// first record from the start of the file (values 0 and 1, the cell's row and
// column, are not needed here). Every cell's records must start on a record
// boundary of the record area and end inside it, and the file must end where
// the last of them ends, so that a file cut short or padded, even by whole
// records, is refused before anything is written. Reads the index from the
// file's current position, offset 44.
Result<void> CheckRecordArea(InputFile& file, const DatabaseLayout& layout,
                             const std::filesystem::path& path) {
  constexpr uint64_t kRecord = CameraRecord::kSize;
  constexpr size_t kPieceEntries = 65536;
  const uint64_t first = layout.RecordsOffset();
  const uint64_t cells = uint64_t{layout.gridA} * layout.gridB;
  uint64_t end = first;
  std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(cells, kPieceEntries)) *
                             kIndexEntrySize);
  for (uint64_t cell = 0; cell < cells;) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(cells - cell, kPieceEntries));
    if (auto read = file.ReadExact({piece.data(), count * kIndexEntrySize}); !read) return read;
    for (size_t i = 0; i < count; ++i, ++cell) {
      const uint8_t* entry = piece.data() + i * kIndexEntrySize;
      const uint64_t records = Le32(entry + index_field::kRecordCount.offset);
      const uint64_t offset = Le32(entry + index_field::kRecordOffset.offset);
      const uint64_t cellEnd = offset + records * kRecord;
      auto refuse = [&](const std::string& why) {
        return FormatError(path, Fill(Tr("grid cell {1} puts {2} records at offset {3}, {4}"),
                                      {std::to_string(cell), std::to_string(records), std::to_string(offset), why}));
      };
      if (offset < first) return refuse(Fill(Tr("before the first record at {1}"), {std::to_string(first)}));
      if ((offset - first) % kRecord != 0) return refuse(Tr("inside a 36-byte record"));
      if (cellEnd > layout.fileSize)
        return refuse(Fill(Tr("past the file's end at {1} (is it cut short?)"), {std::to_string(layout.fileSize)}));
      end = std::max(end, cellEnd);
    }
  }
  // Every cell ends inside the file: only bytes beyond the last record remain.
  if (end != layout.fileSize)
    return FormatError(path, Fill(Tr("the records end at byte {1}, the file at {2}: it is padded"),
                                  {std::to_string(end), std::to_string(layout.fileSize)}));
  return file.SeekTo(kDatabaseHeaderSize);
}

}  // namespace

Result<CheckedDatabase> OpenDatabase(const std::filesystem::path& databasePath) {
  auto file = InputFile::Open(databasePath);
  if (!file) {
    Error error = std::move(file).TakeError();
    error.code = ErrorCode::kFormat;
    return error;
  }
  std::error_code ec;
  uint64_t size = std::filesystem::file_size(databasePath, ec);
  if (ec) return Error{ErrorCode::kFormat, ec.message(), ec.value()}.With(databasePath.string());

  std::array<uint8_t, kDatabaseHeaderSize> header{};
  auto got = file.Value().Read(header);
  if (!got) {
    Error error = std::move(got).TakeError();
    error.code = ErrorCode::kFormat;
    return error;
  }
  if (got.Value() < kDatabaseHeaderSize)
    return FormatError(databasePath, Fill(Tr("holds {1} bytes, fewer than the 44-byte header"),
                                          {std::to_string(got.Value())}));
  if (!std::equal(std::begin(kDatabaseMagic), std::end(kDatabaseMagic), header.begin()))
    return FormatError(databasePath, Tr("no \"%CDB\" header"));

  DatabaseLayout layout;
  layout.year = Le16(&header[header_field::kYear.offset]);
  layout.month = header[header_field::kMonth.offset];
  layout.day = header[header_field::kDay.offset];
  layout.number = Le16(&header[header_field::kNumber.offset]);
  layout.gridA = Le16(&header[header_field::kGridA.offset]);
  layout.gridB = Le16(&header[header_field::kGridB.offset]);
  layout.fileSize = size;
  layout.indexLength = IndexLength(layout.gridA, layout.gridB);
  if (size < layout.RecordsOffset())
    return FormatError(databasePath,
                       Fill(Tr("the grid index of {1} x {2} needs {3} bytes, the file holds {4}"),
                            {std::to_string(layout.gridA), std::to_string(layout.gridB),
                             std::to_string(layout.RecordsOffset()), std::to_string(size)}));
  if (auto whole = CheckRecordArea(file.Value(), layout, databasePath); !whole) {
    Error error = std::move(whole).TakeError();
    error.code = ErrorCode::kFormat;
    return error;
  }
  return CheckedDatabase{std::move(file).Value(), layout, header};
}

Result<DatabaseLayout> InspectDatabase(const std::filesystem::path& databasePath) {
  auto checked = OpenDatabase(databasePath);
  if (!checked) return std::move(checked).TakeError();
  return checked.Value().layout;
}

std::string DeviceFileName(uint16_t identifier) {
  char name[16];
  std::snprintf(name, sizeof name, "%X.bin", static_cast<unsigned>(identifier));
  return name;
}

std::filesystem::path DeviceFilePath(const std::filesystem::path& databasePath,
                                     uint16_t identifier) {
  return databasePath.parent_path() / DeviceFileName(identifier);
}

}  // namespace mzt
