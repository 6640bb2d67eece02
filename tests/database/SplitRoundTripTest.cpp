// Generated databases split and read back from the big-endian device files,
// field by field, without the splitter's own code.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "database/DatabaseSplitter.h"
#include "database/ReducedIndex.h"
#include "dbgen/SyntheticDatabase.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;

// The big-endian 32-bit value at `at`.
uint32_t U32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<uint8_t>(bytes.at(at + i));
  return value;
}

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

  // Every header field is the golden split test's (DatabaseSplitterTest).
  const std::string index = test::ReadFileBytes(ff01);
  ASSERT_EQ(index.size(), db.IndexLength());
  for (uint64_t cell = 0; cell < db.CellCount(); ++cell) {
    dbgen::IndexEntry e = db.Entry(cell);
    size_t at = cell * 16;
    ASSERT_EQ(U32(index, at), e.row) << "cell " << cell;
    ASSERT_EQ(U32(index, at + 4), e.column) << "cell " << cell;
    ASSERT_EQ(U32(index, at + 8), e.recordCount) << "cell " << cell;
    ASSERT_EQ(U32(index, at + 12), e.recordOffset - db.RecordsOffset()) << "cell " << cell;
  }
  EXPECT_EQ(U32(index, index.size() - 4), db.TrailingValue());

  // Each record field turns big-endian in place, the ID as two halves
  // (field by field: DatabaseSplitterTest).
  std::string records = test::ReadFileBytes(path).substr(db.RecordsOffset());
  for (size_t at = 0; at < records.size(); at += 36)
    for (size_t field = 0, width = 4; field < 36; field += width) {
      width = field < 16 || field == 20 ? 4 : 2;
      std::reverse(records.begin() + at + field, records.begin() + at + field + width);
    }
  EXPECT_TRUE(test::ReadFileBytes(ff02) == records) << "FF02.bin is not the records swapped";

  fs::path reduced = folder_ / "Index.bin";
  ASSERT_TRUE(MakeReducedIndex(ff01, reduced));
  const std::string small = test::ReadFileBytes(reduced);
  ASSERT_EQ(small.size(), db.CellCount() * 8 + 4);
  for (uint64_t cell = 0; cell < db.CellCount(); ++cell) {
    ASSERT_EQ(U32(small, cell * 8), db.Entry(cell).recordCount) << "cell " << cell;
    ASSERT_EQ(U32(small, cell * 8 + 4), db.Entry(cell).recordOffset - db.RecordsOffset());
  }
  EXPECT_EQ(U32(small, small.size() - 4), 0u);
}

dbgen::DatabaseOptions Options(uint16_t a, uint16_t b, uint64_t records, uint64_t seed) {
  return {.year = 2025, .month = 11, .day = 30, .number = 42,
          .gridA = a, .gridB = b, .records = records, .seed = seed};
}

INSTANTIATE_TEST_SUITE_P(
    Databases, SplitRoundTripTest,
    ::testing::Values(RoundTripRow{"MoreCellsThanRecords", Options(8, 16, 5, 2)},
                      RoundTripRow{"NoRecords", Options(4, 4, 0, 3)},
                      RoundTripRow{"OneCell", Options(1, 1, 1000, 4)},
                      RoundTripRow{"AcrossReadPieces", Options(300, 250, 40000, 5)}),
    test::RowName());

}  // namespace
}  // namespace mzt
