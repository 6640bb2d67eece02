#include "common/PortSettings.h"

#include <gtest/gtest.h>

#include "support/ParamName.h"

#include "support/TempFolder.h"

namespace mzt {
namespace {

struct SettingsCase {
  const char* name;
  const char* content;  // nullptr: no file at all
  std::string port;
  int baud;
};

const std::string kOverLong = "[Comm. Port]\nPortNumber=/dev/" + std::string(142, 'x') + "\n";

class PortSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(PortSettingsTest, ReadsLikeAProfileFile) {
  test::TempFolder folder;
  auto path = folder / "MZTConfig.ini";
  if (GetParam().content) test::WriteFileBytes(path, GetParam().content);
  PortSettings settings = LoadPortSettings(path);
  EXPECT_EQ(settings.portNumber, GetParam().port);
  EXPECT_EQ(settings.baudrate, GetParam().baud);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PortSettingsTest,
    ::testing::Values(
        SettingsCase{"MissingFile", nullptr, "COM1", 115200},
        SettingsCase{"MissingSection", "[Other]\nPortNumber=COM9\n", "COM1", 115200},
        SettingsCase{"Present", "[Comm. Port]\nPortNumber=COM7\nBaudrate=9600\n", "COM7", 9600},
        SettingsCase{"OtherCase", "[COMM. PORT]\nportnumber=/dev/ttyACM2\n", "/dev/ttyACM2", 115200},
        SettingsCase{"OverLong", kOverLong.c_str(), "/dev/" + std::string(122, 'x'), 115200},
        SettingsCase{"FirstKeyWins", "[Comm. Port]\nPortNumber=COM3\nPortNumber=COM4\n", "COM3",
                     115200}),
    test::RowName());

}  // namespace
}  // namespace mzt
