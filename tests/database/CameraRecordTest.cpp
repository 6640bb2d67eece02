#include "common/CameraRecord.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "database/DatabaseBytes.h"

namespace mzt {
namespace {

using test::Assemble;
using test::kRecordFields;

TEST(CameraRecordTest, GoldenTablesCoverEveryByte) {
  auto record = Assemble(kRecordFields, 36, false);
  EXPECT_EQ(std::count(record.begin(), record.end(), 0xEE), 0);
  auto header = Assemble(test::kHeaderFields, 44, true);
  EXPECT_EQ(std::count(header.begin(), header.end(), 0xEE), 0);
}

TEST(CameraRecordTest, ConvertDecodesFieldsAndMakesDeviceBytes) {
  auto file = Assemble(kRecordFields, 36, false);
  CameraRecord record;
  record.Convert(std::span<const uint8_t, 36>(file.data(), 36), true);

  EXPECT_FLOAT_EQ(record.CameraPoint().latitude, 25.05f);
  EXPECT_FLOAT_EQ(record.CameraPoint().longitude, 121.5f);
  EXPECT_EQ(record.WarningHeading(), 270);
  EXPECT_EQ(record.CameraHeading(), 90);
  EXPECT_FLOAT_EQ(record.SpeedLimit(), 60.0f);
  EXPECT_EQ(record.RecordValue(), 0x0203);
  EXPECT_EQ(record.CameraId(), 0x00012345u);
  EXPECT_EQ(record.VoiceCode(), 0x11);
  EXPECT_EQ(record.AngleCode(), 2);
  EXPECT_EQ(record.WarningDistance(), 500);

  auto device = Assemble(kRecordFields, 36, true);
  EXPECT_TRUE(std::equal(device.begin(), device.end(), record.Converted().begin()));

  auto inPlace = file;
  CameraRecord::ConvertInPlace(inPlace.data());
  EXPECT_EQ(inPlace, device);
}

TEST(CameraRecordTest, WithoutSwapTheCopyEqualsTheInputAndInitialiseClearsAll) {
  auto file = Assemble(kRecordFields, 36, false);
  CameraRecord record;
  record.Convert(std::span<const uint8_t, 36>(file.data(), 36), false);
  EXPECT_TRUE(std::equal(file.begin(), file.end(), record.Converted().begin()));
  EXPECT_EQ(record.CameraId(), 0x00012345u);

  record.Initialise();
  EXPECT_EQ(record.CameraId(), 0u);
  EXPECT_EQ(record.CameraPoint().latitude, 0.0f);
  EXPECT_EQ(record.WarningPoint().longitude, 0.0f);
  EXPECT_EQ(record.SpeedLimit(), 0.0f);
  EXPECT_TRUE(std::all_of(record.Converted().begin(), record.Converted().end(),
                          [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace mzt
