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

  auto device = Assemble(kRecordFields, 36, true);
  EXPECT_TRUE(std::equal(device.begin(), device.end(), record.Converted().begin()));

  auto inPlace = file;
  CameraRecord::ConvertInPlace(inPlace.data());
  EXPECT_EQ(inPlace, device);

  // Many at once: groups of four records are converted together, the rest
  // one by one; each record's bytes differ so that none can stand in for another.
  constexpr size_t kMany = 6;
  test::Bytes many, expected;
  for (size_t i = 0; i < kMany; ++i) {
    for (size_t b = 0; b < 36; ++b) {
      many.push_back(static_cast<uint8_t>(file[b] + i));
      expected.push_back(static_cast<uint8_t>(file[b] + i));
    }
    CameraRecord::ConvertInPlace(expected.data() + 36 * i);
  }
  CameraRecord::ConvertInPlace(many.data(), kMany);
  EXPECT_EQ(many, expected);
}

}  // namespace
}  // namespace mzt
