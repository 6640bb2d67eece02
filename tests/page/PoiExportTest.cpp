#include "page/PoiExport.h"

#include <gtest/gtest.h>

#include "platform/TextCodec.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

CameraRecord SampleRecord() {
  CameraRecord record;
  record.SetCameraPoint({25.05f, 121.5f});
  record.SetWarningPoint({25.0f, -121.25f});
  record.SetCameraHeading(90);
  record.SetWarningHeading(270);
  record.SetSpeedLimit(59.9f);
  record.SetWarningDistance(500);
  record.SetVoiceCode(3);
  record.SetAngleCode(4);
  record.SetCameraId(0x80000001u);
  return record;
}

TEST(PoiLineTest, ExactFormat) {
  UtcTime time{2026, 12, 6, 9, 5, 7};
  EXPECT_EQ(FormatPoiLine(SampleRecord(), time),
            "20261206, 09:05:07,25.049999,121.500000,90,59,500,3,4,-2147483647,25.000000,"
            "-121.250000,270,N/A,N/A,N/A\r\n");
}

TEST(PoiLineTest, LongLinesAreWrittenWhole) {
  CameraRecord record = SampleRecord();
  record.SetCameraPoint({-3.4e38f, -3.4e38f});
  record.SetWarningPoint({-3.4e38f, -3.4e38f});
  record.SetCameraHeading(65535);
  record.SetWarningHeading(65535);
  record.SetWarningDistance(65535);
  std::string line = FormatPoiLine(record, UtcTime{});
  EXPECT_GT(line.size(), 255u);
  EXPECT_EQ(line.substr(line.size() - 13), "N/A,N/A,N/A\r\n");
}

TEST(PoiLineTest, SpeedOutsideIntRangeDoesNotOverflow) {
  CameraRecord record = SampleRecord();
  record.SetSpeedLimit(1.0e20f);
  EXPECT_NE(FormatPoiLine(record, UtcTime{}).find(",90,0,500,"), std::string::npos);
}

TEST(PoiCsvFileTest, HeaderOnceThenAppended) {
  test::TempFolder folder;
  auto path = folder / "POI.csv";
  {
    PoiCsvFile file(path);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Append("a\r\n"));
  }
  {
    PoiCsvFile file(path);
    EXPECT_TRUE(file.Append("b\r\n"));
  }
  std::string content = test::ReadFileBytes(path);
  EXPECT_EQ(content, PoiCsvHeader() + "a\r\nb\r\n");
  EXPECT_EQ(AnsiToWide(PoiCsvHeader()).substr(0, 6), L"日期,時間,");
  EXPECT_EQ(PoiCsvHeader().substr(0, 4), "\xA4\xE9\xB4\xC1");
}

TEST(PoiCsvFileTest, UnwritablePlaceIsReported) {
  test::TempFolder folder;
  PoiCsvFile file(folder / "missing" / "POI.csv");
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Append("x"));
}

}  // namespace
}  // namespace mzt
