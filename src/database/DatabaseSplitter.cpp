#include "database/DatabaseSplitter.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <utility>
#include <vector>

#include "common/ByteOrder.h"
#include "common/CameraRecord.h"
#include "common/TextFill.h"
#include "platform/AtomicFile.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// Large pieces keep the system calls few; both are whole units.
constexpr size_t kIndexPiece = 65536 * kIndexEntrySize;                       // 1 MiB
constexpr size_t kRecordPiece = (size_t{1} << 20) / CameraRecord::kSize * CameraRecord::kSize;

void Swap16At(uint8_t* p) { std::swap(p[0], p[1]); }
void Swap32At(uint8_t* p) {
  std::swap(p[0], p[3]);
  std::swap(p[1], p[2]);
}


void ConvertHeader(uint8_t* h) {
  for (FileField field : header_field::kAll) {
    if (field.width == 2) Swap16At(h + field.offset);
    if (field.width == 4) Swap32At(h + field.offset);
  }
}

// `rebase` is 44 + L: the record offset then counts from the first record.
// The subtraction is modulo 2^32, as the device's 32-bit field is.
void ConvertIndexEntry(uint8_t* entry, uint32_t rebase, bool swap) {
  uint8_t* recordOffset = entry + index_field::kRecordOffset.offset;
  PutLe32(recordOffset, Le32(recordOffset) - rebase);
  if (!swap) return;
  for (size_t offset = 0; offset < kIndexEntrySize; offset += 4) Swap32At(entry + offset);
}

Result<void> WriteWhole(const fs::path& target, std::span<const uint8_t> bytes) {
  auto out = AtomicFile::Create(target);
  if (!out) return std::move(out).TakeError();
  if (auto written = out.Value().Write(bytes); !written) return written;
  return out.Value().Commit();
}

}  // namespace

std::optional<uint16_t> DatabaseSplitter::GridA() const {
  return grid_ ? std::optional<uint16_t>(grid_->a) : std::nullopt;
}
std::optional<uint16_t> DatabaseSplitter::GridB() const {
  return grid_ ? std::optional<uint16_t>(grid_->b) : std::nullopt;
}

fs::path DatabaseSplitter::OutputPath(const fs::path& databasePath, uint16_t identifier) const {
  return outputFolder_.empty() ? DeviceFilePath(databasePath, identifier)
                               : outputFolder_ / DeviceFileName(identifier);
}

Result<void> DatabaseSplitter::CheckNotInput(const fs::path& databasePath,
                                             uint16_t identifier) const {
  // Any spelling of the same file counts: links, "./", another case of a path.
  fs::path out = OutputPath(databasePath, identifier);
  std::error_code ec;
  if (!fs::equivalent(out, databasePath, ec)) return Success();
  return Error{ErrorCode::kInvalidArgument,
               Fill(Tr("the device file {1} would overwrite it; choose another folder for the device files"),
                    {out.filename().string()})}
      .With(databasePath.string());
}

Result<DatabaseSplitter::Source*> DatabaseSplitter::Continue(const fs::path& databasePath,
                                                           Stage stage) {
  if (!source_ || source_->path != databasePath)
    return Error{ErrorCode::kInvalidArgument, "the header must be split first"}.With(
        databasePath.string());
  Source& source = *source_;
  if (source.next == Stage::kIndex && stage == Stage::kRecords) {
    // The index was not asked for: step over it.
    if (auto skipped = source.database.file.Skip(source.database.layout.indexLength); !skipped) {
      source_.reset();
      return std::move(skipped).TakeError();
    }
  } else if (source.next != stage) {
    source_.reset();
    return Error{ErrorCode::kInvalidArgument, "the header must be split first"}.With(
        databasePath.string());
  }
  return &source;
}

Result<void> DatabaseSplitter::SplitHeader(const fs::path& databasePath, bool swap,
                                           fs::path& outFf00Path) {
  outFf00Path = OutputPath(databasePath, kHeaderFileId);
  grid_.reset();
  source_.reset();
  auto database = OpenDatabase(databasePath);
  if (!database) return std::move(database).TakeError();
  for (uint16_t id : {kHeaderFileId, kIndexFileId, kRecordsFileId})
    if (auto apart = CheckNotInput(databasePath, id); !apart) return apart;

  std::array<uint8_t, kDatabaseHeaderSize> header = database.Value().header;
  if (swap) ConvertHeader(header.data());
  if (auto written = WriteWhole(outFf00Path, header); !written) return written;
  const DatabaseLayout& layout = database.Value().layout;
  grid_ = Grid{layout.gridA, layout.gridB};
  source_.emplace(Source{std::move(database).Value(), databasePath, Stage::kIndex});
  return Success();
}

Result<void> DatabaseSplitter::SplitIndex(const fs::path& databasePath, bool swap,
                                          fs::path& outFf01Path) {
  outFf01Path = OutputPath(databasePath, kIndexFileId);
  auto source = Continue(databasePath, Stage::kIndex);
  if (!source) return std::move(source).TakeError();
  // Whatever happens now, the next step starts from a known place or not at all.
  source.Value()->next = Stage::kRecords;
  auto written = WriteIndex(*source.Value(), swap, outFf01Path);
  if (!written) source_.reset();
  return written;
}

Result<void> DatabaseSplitter::WriteIndex(Source& source, bool swap, const fs::path& outFf01Path) {
  const uint64_t length = source.database.layout.indexLength;
  const auto rebase = static_cast<uint32_t>(source.database.layout.RecordsOffset());
  InputFile& in = source.database.file;
  auto out = AtomicFile::Create(outFf01Path);
  if (!out) return std::move(out).TakeError();

  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kIndexPiece, length)));
  uint64_t entriesLeft = length - kIndexTrailerSize;  // in bytes
  while (entriesLeft > 0) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(entriesLeft, buffer.size()));
    if (auto read = in.ReadExact({buffer.data(), piece}); !read) return read;
    for (size_t at = 0; at < piece; at += kIndexEntrySize)
      ConvertIndexEntry(buffer.data() + at, rebase, swap);
    if (auto written = out.Value().Write({buffer.data(), piece}); !written) return written;
    entriesLeft -= piece;
  }
  std::array<uint8_t, kIndexTrailerSize> trailer{};
  if (auto read = in.ReadExact(trailer); !read) return read;
  if (swap) Swap32At(trailer.data());
  if (auto written = out.Value().Write(trailer); !written) return written;
  return out.Value().Commit();
}

Result<void> DatabaseSplitter::SplitRecords(const fs::path& databasePath, bool swap,
                                            fs::path& outFf02Path) {
  outFf02Path = OutputPath(databasePath, kRecordsFileId);
  auto source = Continue(databasePath, Stage::kRecords);
  if (!source) return std::move(source).TakeError();
  auto written = WriteRecords(*source.Value(), swap, outFf02Path);
  // The last step: the database file is closed.
  source_.reset();
  return written;
}

Result<void> DatabaseSplitter::WriteRecords(Source& source, bool swap, const fs::path& outFf02Path) {
  InputFile& in = source.database.file;
  auto out = AtomicFile::Create(outFf02Path);
  if (!out) return std::move(out).TakeError();

  uint64_t left = source.database.layout.RecordsLength();
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kRecordPiece, left)));
  while (left > 0) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
    if (auto read = in.ReadExact({buffer.data(), piece}); !read) return read;
    // The check at the header step made the record area whole records, and pieces are too.
    if (swap) CameraRecord::ConvertInPlace(buffer.data(), piece / CameraRecord::kSize);
    if (auto written = out.Value().Write({buffer.data(), piece}); !written) return written;
    left -= piece;
  }
  return out.Value().Commit();
}

Result<DeviceFiles> DatabaseSplitter::SplitAll(const fs::path& databasePath, bool swap) {
  DeviceFiles files;
  // A failed step sets its path but writes nothing: only the files of the
  // steps before it are this split's.
  std::vector<const fs::path*> written;
  Result<void> result = SplitHeader(databasePath, swap, files.header);
  if (result) written.push_back(&files.header), result = SplitIndex(databasePath, swap, files.index);
  if (result) written.push_back(&files.index), result = SplitRecords(databasePath, swap, files.records);
  if (result) return files;
  std::error_code ignored;
  for (const fs::path* path : written) fs::remove(*path, ignored);
  return std::move(result).TakeError();
}

}  // namespace mzt
