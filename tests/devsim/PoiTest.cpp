#include "devsim/Poi.h"

#include <gtest/gtest.h>

#include <set>

#include "support/TempFolder.h"

namespace mzt::devsim {
namespace {

// A header line and a line as the program's export writes them.
const char* kExport =
    "\xA4\xE9\xB4\xC1,time, lat,lon\r\n"
    "20240101, 08:00:00,25.049999,121.500000,270,59,500,3,2,74565,25.040001,121.489998,90,N/A,N/A,N/A\r\n"
    "20240101, 08:00:00,22.600000,120.300000,0,110,300,1,0,-1,22.590000,120.290000,180,N/A,N/A,N/A\r\n";

TEST(Poi, ReadsTheColumnsOfThePoiExport) {
  auto pois = ParsePoiCsv(kExport);
  ASSERT_TRUE(pois) << pois.Err().message;
  ASSERT_EQ(pois.Value().size(), 2u);
  const Poi& first = pois.Value()[0];
  EXPECT_DOUBLE_EQ(first.cameraLatitude, 25.049999);
  EXPECT_DOUBLE_EQ(first.cameraLongitude, 121.5);
  EXPECT_EQ(first.cameraHeading, 270);
  EXPECT_EQ(first.speedLimit, 59);
  EXPECT_EQ(first.warningDistance, 500);
  EXPECT_EQ(first.voiceCode, 3);
  EXPECT_EQ(first.angleCode, 2);
  EXPECT_EQ(first.id, 74565u);
  EXPECT_DOUBLE_EQ(first.warningLatitude, 25.040001);
  EXPECT_DOUBLE_EQ(first.warningLongitude, 121.489998);
  EXPECT_EQ(first.warningHeading, 90);
  // The export prints IDs of 2^31 and more as negative numbers.
  EXPECT_EQ(pois.Value()[1].id, 0xFFFFFFFFu);
}

TEST(Poi, ShortOrNonNumericLinesAreErrors) {
  EXPECT_FALSE(ParsePoiCsv("d,t,25.0,121.0,1\n"));
  EXPECT_FALSE(ParsePoiCsv("d,t,25.0,121.0,x,1,1,1,1,1,1,1,1\n"));
  test::TempFolder folder;
  EXPECT_FALSE(LoadPoiCsv(folder / "missing.csv"));
  test::WriteFileBytes(folder / "pois.csv", kExport);
  auto loaded = LoadPoiCsv(folder / "pois.csv");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded.Value().size(), 2u);
}

TEST(Poi, GeneratedPoisAreDistinctAndRepeatable) {
  auto pois = GeneratePois(50);
  ASSERT_EQ(pois.size(), 50u);
  std::set<uint32_t> ids;
  for (const Poi& poi : pois) ids.insert(poi.id);
  EXPECT_EQ(ids.size(), 50u);
  EXPECT_EQ(FormatPoiFields(GeneratePois(50)[49]), FormatPoiFields(pois[49]));
}

}  // namespace
}  // namespace mzt::devsim
