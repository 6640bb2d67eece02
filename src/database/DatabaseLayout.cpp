#include "database/DatabaseLayout.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <system_error>

#include "platform/InputFile.h"

namespace mzt {
namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

Error FormatError(const std::filesystem::path& path, std::string reason) {
  return Error{ErrorCode::kFormat, std::move(reason)}.With(path.string());
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
    return FormatError(databasePath, "holds " + std::to_string(got.Value()) +
                                         " bytes, fewer than the 44-byte header");
  if (!std::equal(std::begin(kDatabaseMagic), std::end(kDatabaseMagic), header.begin()))
    return FormatError(databasePath, "not a speed-camera database (no \"%CDB\" header)");

  DatabaseLayout layout;
  layout.year = Le16(&header[4]);
  layout.month = header[6];
  layout.day = header[7];
  layout.number = Le16(&header[8]);
  layout.gridA = Le16(&header[28]);
  layout.gridB = Le16(&header[30]);
  layout.fileSize = size;
  layout.indexLength = IndexLength(layout.gridA, layout.gridB);
  if (size < layout.RecordsOffset())
    return FormatError(databasePath,
                       "the grid index of " + std::to_string(layout.gridA) + " x " +
                           std::to_string(layout.gridB) + " needs " +
                           std::to_string(layout.RecordsOffset()) + " bytes, the file holds " +
                           std::to_string(size));
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
