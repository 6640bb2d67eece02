#include "dbgen/SyntheticDatabase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <set>

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

TEST(SyntheticDatabaseTest, RecordsArePlausibleCameras) {
  const SyntheticDatabase db(Options(8, 16, 5000));
  std::set<float> limits;
  std::set<uint32_t> ids;
  for (uint64_t i = 0; i < 5000; ++i) {
    CameraRecord r = db.Record(i);
    ASSERT_GE(r.CameraPoint().latitude, 21.9f);
    ASSERT_LE(r.CameraPoint().latitude, 25.3f);
    ASSERT_GE(r.CameraPoint().longitude, 120.0f);
    ASSERT_LE(r.CameraPoint().longitude, 122.0f);
    ASSERT_LT(r.CameraHeading(), 360);
    ASSERT_GE(r.WarningDistance(), 300);
    ASSERT_LE(r.WarningDistance(), 800);
    // The warning point lies the warning distance from the camera (within float rounding).
    double dLat = (r.WarningPoint().latitude - r.CameraPoint().latitude) * 111320.0;
    double dLon = (r.WarningPoint().longitude - r.CameraPoint().longitude) * 111320.0 *
                  std::cos(r.CameraPoint().latitude * std::numbers::pi / 180.0);
    ASSERT_NEAR(std::hypot(dLat, dLon), r.WarningDistance(), 3.0) << "record " << i;
    limits.insert(r.SpeedLimit());
    ids.insert(r.CameraId());
  }
  EXPECT_EQ(limits, (std::set<float>{40, 50, 60, 70, 80, 90, 100, 110}));
  EXPECT_EQ(ids.size(), 5000u);
}

TEST(SyntheticDatabaseTest, SameSeedSameFileOtherSeedOtherRecords) {
  test::TempFolder folder;
  ASSERT_TRUE(SyntheticDatabase(Options(3, 3, 300, 11)).WriteTo(folder / "a.bin"));
  ASSERT_TRUE(SyntheticDatabase(Options(3, 3, 300, 11)).WriteTo(folder / "b.bin"));
  ASSERT_TRUE(SyntheticDatabase(Options(3, 3, 300, 12)).WriteTo(folder / "c.bin"));
  std::string a = test::ReadFileBytes(folder / "a.bin");
  EXPECT_EQ(a, test::ReadFileBytes(folder / "b.bin"));
  std::string c = test::ReadFileBytes(folder / "c.bin");
  ASSERT_EQ(a.size(), c.size());
  EXPECT_EQ(a.substr(0, 44 + 9 * 16 + 4), c.substr(0, 44 + 9 * 16 + 4));  // same layout
  EXPECT_NE(a, c);
}

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

TEST(SyntheticDatabaseTest, AFolderThatCannotTakeTheFileFailsWithoutAFile) {
  test::TempFolder folder;
  auto result = SyntheticDatabase(Options(1, 1, 1)).WriteTo(folder / "missing" / "ULDB.bin");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Err().code, ErrorCode::kIo);
  EXPECT_FALSE(fs::exists(folder / "missing"));
}

TEST(SyntheticDatabaseTest, RecordsForSizeFillsTheSizeWithWholeRecords) {
  // 64 MiB with grid 8 x 16: 44 + 2052 bytes before the records.
  uint64_t records = RecordsForSize(64u << 20, 8, 16);
  EXPECT_EQ(records, ((64u << 20) - 44 - 2052) / 36);
  EXPECT_LE(SyntheticDatabase(Options(8, 16, records)).FileSize(), 64u << 20);
  EXPECT_GT(SyntheticDatabase(Options(8, 16, records + 1)).FileSize(), 64u << 20);
  EXPECT_EQ(RecordsForSize(2000, 8, 16), 0u);
}

}  // namespace
}  // namespace mzt::dbgen
