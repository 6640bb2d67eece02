#include "dbgen/SyntheticDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "database/DatabaseLayout.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt::dbgen {
namespace {

namespace fs = std::filesystem;

DatabaseOptions Options(uint16_t a, uint16_t b, uint64_t records, uint64_t seed = 1) {
  return {.year = 2023, .month = 7, .day = 14, .number = 9,
          .gridA = a, .gridB = b, .records = records, .seed = seed};
}

struct GridRow {
  std::string name;
  DatabaseOptions options;
};

class SyntheticGridTest : public ::testing::TestWithParam<GridRow> {};

// Every record lies in the cell whose entry names it, and the cells share the
// records out without gap or overlap.
TEST_P(SyntheticGridTest, EntriesPointAtTheirCellsRecords) {
  const SyntheticDatabase db(GetParam().options);
  const uint64_t records = db.Options().records;
  const HeaderValues h = db.Header();
  uint64_t expectedFirst = 0;
  for (uint64_t cell = 0; cell < db.CellCount(); ++cell) {
    IndexEntry e = db.Entry(cell);
    ASSERT_EQ(e.recordOffset, db.RecordsOffset() + expectedFirst * 36) << "cell " << cell;
    ASSERT_LE(e.recordOffset, db.FileSize());
    ASSERT_EQ(e.row * db.Options().gridA + e.column, cell);
    for (uint64_t i = expectedFirst; i < expectedFirst + e.recordCount; ++i) {
      ASSERT_EQ(db.CellOfRecord(i), cell) << "record " << i;
      GeoPoint p = db.Record(i).CameraPoint();
      ASSERT_GE(p.latitude, h.south + h.cellHeight * static_cast<float>(e.row) - 1e-4f);
      ASSERT_LE(p.latitude, h.south + h.cellHeight * static_cast<float>(e.row + 1) + 1e-4f);
      ASSERT_GE(p.longitude, h.west + h.cellWidth * static_cast<float>(e.column) - 1e-4f);
      ASSERT_LE(p.longitude, h.west + h.cellWidth * static_cast<float>(e.column + 1) + 1e-4f);
    }
    expectedFirst += e.recordCount;
  }
  EXPECT_EQ(expectedFirst, records);
  EXPECT_EQ(db.TrailingValue(), records);
  EXPECT_EQ(h.recordCount, records);
}

INSTANTIATE_TEST_SUITE_P(Grids, SyntheticGridTest,
                         ::testing::Values(GridRow{"FewerRecordsThanCells", Options(4, 5, 7)},
                                           GridRow{"AsManyAsCells", Options(4, 5, 20)},
                                           GridRow{"UnevenShare", Options(3, 2, 1001)},
                                           GridRow{"NoRecords", Options(2, 2, 0)}),
                         test::RowName());

TEST(SyntheticDatabaseTest, WritesAFileThatPassesTheDatabaseCheck) {
  test::TempFolder folder;
  const SyntheticDatabase db(Options(300, 250, 40000));  // index and records both over 1 MiB
  ASSERT_TRUE(db.WriteTo(folder / "ULDB.bin"));
  EXPECT_EQ(fs::file_size(folder / "ULDB.bin"), db.FileSize());
  auto layout = InspectDatabase(folder / "ULDB.bin");
  ASSERT_TRUE(layout) << layout.Err().message;
  EXPECT_EQ(layout.Value().year, 2023);
  EXPECT_EQ(layout.Value().month, 7);
  EXPECT_EQ(layout.Value().day, 14);
  EXPECT_EQ(layout.Value().number, 9);
  EXPECT_EQ(layout.Value().gridA, 300);
  EXPECT_EQ(layout.Value().gridB, 250);
  EXPECT_EQ(layout.Value().RecordsLength(), 40000u * 36);
}

}  // namespace
}  // namespace mzt::dbgen
