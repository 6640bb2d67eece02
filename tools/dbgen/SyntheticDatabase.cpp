#include "dbgen/SyntheticDatabase.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>
#include <vector>

#include "common/ByteOrder.h"
#include "database/DatabaseLayout.h"
#include "platform/AtomicFile.h"

namespace mzt::dbgen {
namespace {

// The grid covers Taiwan's main island and its nearby islets.
constexpr double kSouth = 21.9;
constexpr double kNorth = 25.3;
constexpr double kWest = 120.0;
constexpr double kEast = 122.0;
constexpr double kMetresPerDegree = 111320.0;

// SplitMix64: a stream of well-mixed values from any starting state.
class Mixer {
 public:
  Mixer(uint64_t seed, uint64_t index) : state_(seed * 0x9E3779B97F4A7C15ull ^ index) { Next(); }
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }  // [0, 1)
  uint16_t Below(uint16_t bound) { return static_cast<uint16_t>(Next() % bound); }

 private:
  uint64_t state_;
};

void PutLeFloat(uint8_t* p, float v) { PutLe32(p, std::bit_cast<uint32_t>(v)); }


std::array<uint8_t, kDatabaseHeaderSize> EncodeHeader(const HeaderValues& h) {
  namespace f = header_field;
  std::array<uint8_t, kDatabaseHeaderSize> b{};
  std::copy(std::begin(kDatabaseMagic), std::end(kDatabaseMagic), b.begin());
  PutLe16(&b[f::kYear.offset], h.year);
  b[f::kMonth.offset] = h.month;
  b[f::kDay.offset] = h.day;
  PutLe16(&b[f::kNumber.offset], h.number);
  PutLe16(&b[f::kLayoutRevision.offset], h.layoutRevision);
  PutLeFloat(&b[f::kSouth.offset], h.south);
  PutLeFloat(&b[f::kWest.offset], h.west);
  PutLeFloat(&b[f::kNorth.offset], h.north);
  PutLeFloat(&b[f::kEast.offset], h.east);
  PutLe16(&b[f::kGridA.offset], h.gridA);
  PutLe16(&b[f::kGridB.offset], h.gridB);
  PutLeFloat(&b[f::kCellHeight.offset], h.cellHeight);
  PutLeFloat(&b[f::kCellWidth.offset], h.cellWidth);
  PutLe32(&b[f::kRecordCount.offset], h.recordCount);
  return b;
}

}  // namespace

SyntheticDatabase::SyntheticDatabase(const DatabaseOptions& options) : options_(options) {}

HeaderValues SyntheticDatabase::Header() const {
  const auto& o = options_;
  return {o.year, o.month, o.day, o.number, 1,
          static_cast<float>(kSouth), static_cast<float>(kWest),
          static_cast<float>(kNorth), static_cast<float>(kEast),
          o.gridA, o.gridB,
          o.gridB ? static_cast<float>((kNorth - kSouth) / o.gridB) : 0.0f,
          o.gridA ? static_cast<float>((kEast - kWest) / o.gridA) : 0.0f,
          static_cast<uint32_t>(o.records)};
}

// Records are spread evenly: the first (records mod cells) cells hold one more.
uint64_t SyntheticDatabase::FirstRecordOfCell(uint64_t cell) const {
  uint64_t cells = CellCount();
  if (cells == 0) return 0;
  uint64_t each = options_.records / cells, extra = options_.records % cells;
  return each * cell + std::min(cell, extra);
}

uint64_t SyntheticDatabase::CellOfRecord(uint64_t index) const {
  uint64_t cells = CellCount();
  if (cells == 0) return 0;
  uint64_t each = options_.records / cells, extra = options_.records % cells;
  uint64_t inLargerCells = extra * (each + 1);
  if (index < inLargerCells) return index / (each + 1);
  if (each == 0) return cells - 1;  // past the last record
  return extra + (index - inLargerCells) / each;
}

IndexEntry SyntheticDatabase::Entry(uint64_t cell) const {
  uint64_t first = FirstRecordOfCell(cell);
  uint64_t next = cell + 1 < CellCount() ? FirstRecordOfCell(cell + 1) : options_.records;
  return {static_cast<uint32_t>(cell / options_.gridA),
          static_cast<uint32_t>(cell % options_.gridA),
          static_cast<uint32_t>(next - first),
          static_cast<uint32_t>(RecordsOffset() + first * CameraRecord::kSize)};
}

uint32_t SyntheticDatabase::TrailingValue() const {
  return static_cast<uint32_t>(options_.records);
}

CameraRecord SyntheticDatabase::Record(uint64_t index) const {
  Mixer mix(options_.seed, index);
  double cellHeight = (kNorth - kSouth) / std::max<uint16_t>(options_.gridB, 1);
  double cellWidth = (kEast - kWest) / std::max<uint16_t>(options_.gridA, 1);
  uint64_t cell = CellOfRecord(index);
  uint64_t row = options_.gridA ? cell / options_.gridA : 0;
  uint64_t column = options_.gridA ? cell % options_.gridA : 0;
  double latitude = kSouth + (static_cast<double>(row) + mix.Unit()) * cellHeight;
  double longitude = kWest + (static_cast<double>(column) + mix.Unit()) * cellWidth;

  // The warning point lies the warning distance before the camera, on the
  // road the camera faces.
  uint16_t heading = mix.Below(360);
  uint16_t distance = static_cast<uint16_t>(300 + 100 * mix.Below(6));
  double radians = heading * std::numbers::pi / 180.0;
  double back = distance / kMetresPerDegree;
  double warningLatitude = latitude - back * std::cos(radians);
  double warningLongitude =
      longitude - back * std::sin(radians) / std::cos(latitude * std::numbers::pi / 180.0);

  CameraRecord record;
  record.SetCameraPoint({static_cast<float>(latitude), static_cast<float>(longitude)});
  record.SetWarningPoint({static_cast<float>(warningLatitude), static_cast<float>(warningLongitude)});
  record.SetCameraHeading(heading);
  record.SetWarningHeading(heading);
  record.SetWarningDistance(distance);
  record.SetSpeedLimit(static_cast<float>(40 + 10 * mix.Below(8)));  // 40 to 110 km/h
  record.SetRecordValue(static_cast<uint16_t>(1 + mix.Below(6)));  // camera kind
  record.SetCameraId(static_cast<uint32_t>(100001 + index));
  record.SetVoiceCode(static_cast<uint16_t>(1 + mix.Below(30)));
  record.SetAngleCode(mix.Below(4));
  return record;
}

Result<void> SyntheticDatabase::WriteTo(const std::filesystem::path& path) const {
  auto file = AtomicFile::Create(path);
  if (!file) return std::move(file).TakeError();
  AtomicFile& out = file.Value();

  if (auto written = out.Write(EncodeHeader(Header())); !written) return written;

  constexpr size_t kPiece = 1 << 20;
  std::vector<uint8_t> buffer;
  buffer.reserve(kPiece + 36);
  auto flushIfFull = [&](bool force) -> Result<void> {
    if (buffer.size() < kPiece && !force) return Success();
    auto written = out.Write(buffer);
    buffer.clear();
    return written;
  };
  for (uint64_t cell = 0; cell < CellCount(); ++cell) {
    IndexEntry e = Entry(cell);
    namespace f = index_field;
    size_t at = buffer.size();
    buffer.resize(at + kIndexEntrySize);
    PutLe32(&buffer[at + f::kRow.offset], e.row);
    PutLe32(&buffer[at + f::kColumn.offset], e.column);
    PutLe32(&buffer[at + f::kRecordCount.offset], e.recordCount);
    PutLe32(&buffer[at + f::kRecordOffset.offset], e.recordOffset);
    if (auto flushed = flushIfFull(false); !flushed) return flushed;
  }
  size_t at = buffer.size();
  buffer.resize(at + 4);
  PutLe32(&buffer[at], TrailingValue());
  for (uint64_t i = 0; i < options_.records; ++i) {
    auto record = Record(i).FileBytes();
    buffer.insert(buffer.end(), record.begin(), record.end());
    if (auto flushed = flushIfFull(false); !flushed) return flushed;
  }
  if (auto flushed = flushIfFull(true); !flushed) return flushed;
  return out.Commit();
}

uint64_t RecordsForSize(uint64_t bytes, uint16_t gridA, uint16_t gridB) {
  uint64_t fixed = 44 + uint64_t{gridA} * gridB * 16 + 4;
  return bytes > fixed ? (bytes - fixed) / CameraRecord::kSize : 0;
}

}  // namespace mzt::dbgen
