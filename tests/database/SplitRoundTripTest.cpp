// Generated databases split and read back from the big-endian device files,
// field by field, without the splitter's own code.

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>

#include "database/DatabaseSplitter.h"
#include "database/ReducedIndex.h"
#include "dbgen/SyntheticDatabase.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;

class BigEndianReader {
 public:
  explicit BigEndianReader(std::string bytes) : bytes_(std::move(bytes)) {}
  uint8_t U8(size_t at) const { return static_cast<uint8_t>(bytes_.at(at)); }
  uint16_t U16(size_t at) const { return static_cast<uint16_t>(U8(at) << 8 | U8(at + 1)); }
  uint32_t U32(size_t at) const { return uint32_t{U16(at)} << 16 | U16(at + 2); }
  float F32(size_t at) const { return std::bit_cast<float>(U32(at)); }
  size_t Size() const { return bytes_.size(); }

 private:
  std::string bytes_;
};

struct RoundTripRow {
  std::string name;
  dbgen::DatabaseOptions options;
};

class SplitRoundTripTest : public ::testing::TestWithParam<RoundTripRow> {
 protected:
  test::TempFolder folder_;
};

TEST_P(SplitRoundTripTest, DeviceFilesHoldTheGeneratedValues) {
  const dbgen::SyntheticDatabase db(GetParam().options);
  fs::path path = folder_ / "ULDB.bin";
  ASSERT_TRUE(db.WriteTo(path));

  DatabaseSplitter splitter;
  fs::path ff00, ff01, ff02;
  ASSERT_TRUE(splitter.SplitHeader(path, true, ff00));
  ASSERT_TRUE(splitter.SplitIndex(path, true, ff01));
  ASSERT_TRUE(splitter.SplitRecords(path, true, ff02));

  BigEndianReader header(test::ReadFileBytes(ff00));
  const dbgen::HeaderValues h = db.Header();
  ASSERT_EQ(header.Size(), 44u);
  EXPECT_EQ(header.U32(0), 0x25434442u);  // "%CDB"
  EXPECT_EQ(header.U16(4), h.year);
  EXPECT_EQ(header.U8(6), h.month);
  EXPECT_EQ(header.U8(7), h.day);
  EXPECT_EQ(header.U16(8), h.number);
  EXPECT_EQ(header.U16(10), h.layoutRevision);
  EXPECT_EQ(header.F32(12), h.south);
  EXPECT_EQ(header.F32(16), h.west);
  EXPECT_EQ(header.F32(20), h.north);
  EXPECT_EQ(header.F32(24), h.east);
  EXPECT_EQ(header.U16(28), h.gridA);
  EXPECT_EQ(header.U16(30), h.gridB);
  EXPECT_EQ(header.F32(32), h.cellHeight);
  EXPECT_EQ(header.F32(36), h.cellWidth);
  EXPECT_EQ(header.U32(40), h.recordCount);

  BigEndianReader index(test::ReadFileBytes(ff01));
  ASSERT_EQ(index.Size(), db.IndexLength());
  for (uint64_t cell = 0; cell < db.CellCount(); ++cell) {
    dbgen::IndexEntry e = db.Entry(cell);
    size_t at = cell * 16;
    ASSERT_EQ(index.U32(at), e.row) << "cell " << cell;
    ASSERT_EQ(index.U32(at + 4), e.column) << "cell " << cell;
    ASSERT_EQ(index.U32(at + 8), e.recordCount) << "cell " << cell;
    ASSERT_EQ(index.U32(at + 12), e.recordOffset - db.RecordsOffset()) << "cell " << cell;
  }
  EXPECT_EQ(index.U32(index.Size() - 4), db.TrailingValue());

  BigEndianReader records(test::ReadFileBytes(ff02));
  ASSERT_EQ(records.Size(), db.Options().records * 36);
  for (uint64_t i = 0; i < db.Options().records; ++i) {
    const CameraRecord r = db.Record(i);
    size_t at = i * 36;
    ASSERT_EQ(records.F32(at), r.CameraPoint().latitude) << "record " << i;
    ASSERT_EQ(records.F32(at + 4), r.CameraPoint().longitude) << "record " << i;
    ASSERT_EQ(records.F32(at + 8), r.WarningPoint().latitude) << "record " << i;
    ASSERT_EQ(records.F32(at + 12), r.WarningPoint().longitude) << "record " << i;
    ASSERT_EQ(records.U16(at + 16), r.WarningHeading()) << "record " << i;
    ASSERT_EQ(records.U16(at + 18), r.CameraHeading()) << "record " << i;
    ASSERT_EQ(records.F32(at + 20), r.SpeedLimit()) << "record " << i;
    ASSERT_EQ(records.U16(at + 24), r.RecordValue()) << "record " << i;
    // The device reads the ID as two big-endian halves, the low half first.
    uint32_t id = uint32_t{records.U16(at + 28)} << 16 | records.U16(at + 26);
    ASSERT_EQ(id, r.CameraId()) << "record " << i;
    ASSERT_EQ(records.U16(at + 30), r.VoiceCode()) << "record " << i;
    ASSERT_EQ(records.U16(at + 32), r.AngleCode()) << "record " << i;
    ASSERT_EQ(records.U16(at + 34), r.WarningDistance()) << "record " << i;
  }

  fs::path reduced = folder_ / "Index.bin";
  ASSERT_TRUE(MakeReducedIndex(ff01, reduced));
  BigEndianReader small(test::ReadFileBytes(reduced));
  ASSERT_EQ(small.Size(), db.CellCount() * 8 + 4);
  for (uint64_t cell = 0; cell < db.CellCount(); ++cell) {
    ASSERT_EQ(small.U32(cell * 8), db.Entry(cell).recordCount) << "cell " << cell;
    ASSERT_EQ(small.U32(cell * 8 + 4), db.Entry(cell).recordOffset - db.RecordsOffset());
  }
  EXPECT_EQ(small.U32(small.Size() - 4), 0u);
}

dbgen::DatabaseOptions Options(uint16_t a, uint16_t b, uint64_t records, uint64_t seed) {
  return {.year = 2025, .month = 11, .day = 30, .number = 42,
          .gridA = a, .gridB = b, .records = records, .seed = seed};
}

INSTANTIATE_TEST_SUITE_P(
    Databases, SplitRoundTripTest,
    ::testing::Values(RoundTripRow{"SmallGrid", Options(2, 3, 10, 1)},
                      RoundTripRow{"MoreCellsThanRecords", Options(8, 16, 5, 2)},
                      RoundTripRow{"NoRecords", Options(4, 4, 0, 3)},
                      RoundTripRow{"OneCell", Options(1, 1, 1000, 4)},
                      RoundTripRow{"AcrossReadPieces", Options(300, 250, 40000, 5)}),
    test::RowName());

}  // namespace
}  // namespace mzt
