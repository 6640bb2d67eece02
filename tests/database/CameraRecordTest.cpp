#include "common/CameraRecord.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "database/DatabaseBytes.h"

namespace mzt {
namespace {

using test::Assemble;
using test::kRecordFields;

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

  // ConvertInPlace, for one record or many, is checked through the split.
  auto device = Assemble(kRecordFields, 36, true);
  EXPECT_TRUE(std::equal(device.begin(), device.end(), record.Converted().begin()));
}

}  // namespace
}  // namespace mzt
