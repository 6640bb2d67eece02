#include "common/PortSettings.h"

#include <gtest/gtest.h>

#include <optional>

#include "common/BuildConfig.h"
#include "common/UpdateServerSetting.h"

#include "support/ParamName.h"

#include "support/TempFolder.h"

namespace mzt {
namespace {

struct SettingsCase {
  const char* name;
  const char* content;  // nullptr: no file at all
  std::string port;
  int baud;
  std::string server = "";
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
  EXPECT_EQ(settings.updateServer, GetParam().server);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PortSettingsTest,
    ::testing::Values(
        SettingsCase{"MissingFile", nullptr, "COM1", 115200},
        SettingsCase{"MissingSection", "[Other]\nPortNumber=COM9\n", "COM1", 115200},
        SettingsCase{"Present",
                     "[Comm. Port]\nPortNumber=COM7\nBaudrate=9600\n[Update]\nServer=http://a.example/\n",
                     "COM7", 9600, "http://a.example/"},
        SettingsCase{"OtherCase", "[update]\nSERVER=https://b.example\n[COMM. PORT]\nportnumber=/dev/ttyACM2\n",
                     "/dev/ttyACM2", 115200, "https://b.example"},
        SettingsCase{"ServerOfAnotherSection", "[Comm. Port]\nServer=http://a.example/\n", "COM1", 115200},
        SettingsCase{"OverLong", kOverLong.c_str(), "/dev/" + std::string(122, 'x'), 115200},
        SettingsCase{"FirstKeyWins",
                     "[Comm. Port]\nPortNumber=COM3\nPortNumber=COM4\n[Update]\nServer=http://a/\nServer=http://b/\n",
                     "COM3", 115200, "http://a/"}),
    test::RowName());

// The update server: MZT_UPDATE_SERVER over the settings file over the build's default.
struct ServerCase {
  const char* name;
  const char* environment;  // nullptr: unset
  const char* content;      // of the settings file; nullptr: no file
  std::string url;          // as chosen, or the refused value as found
  ServerSource source = ServerSource::kBuildDefault;
  std::optional<bool> loopback{};  // unset for the build's default, whatever a build names
  bool usable = true;
};

class UpdateServerChoiceTest : public ::testing::TestWithParam<ServerCase> {};

TEST_P(UpdateServerChoiceTest, EnvironmentOverFileOverDefault) {
  const ServerCase& row = GetParam();
  test::TempFolder folder;
  auto path = folder / "MZTConfig.ini";
  if (row.content) test::WriteFileBytes(path, row.content);
  UpdateServerAddress chosen = ChooseUpdateServer(row.environment, path);
  EXPECT_EQ(chosen.usable, row.usable);
  EXPECT_EQ(chosen.url, row.url);
  EXPECT_EQ(chosen.source, row.source);
  if (row.loopback) {
    EXPECT_EQ(IsLoopbackServer(chosen.url), *row.loopback);
  }
}

const std::string kDefault = NormalizeServerUrl(kDefaultUpdateServerUrl);
constexpr const char* kFileServer = "[Update]\nServer=https://updates.example.com/db\n";

INSTANTIATE_TEST_SUITE_P(
    Sources, UpdateServerChoiceTest,
    ::testing::Values(
        ServerCase{"BuildDefault", nullptr, nullptr, kDefault},
        ServerCase{"EmptyValuesAreUnset", "", "[Update]\nServer=\n", kDefault},
        ServerCase{"FileOverDefault", nullptr, kFileServer, "https://updates.example.com/db/",
                   ServerSource::kSettingsFile, false},
        ServerCase{"EmptyEnvironmentLeavesTheFile", "", kFileServer, "https://updates.example.com/db/",
                   ServerSource::kSettingsFile},
        ServerCase{"EnvironmentOverFile", "http://[::1]:81", kFileServer, "http://[::1]:81/",
                   ServerSource::kEnvironment, true},
        ServerCase{"EnvironmentBeforeABadFile", "HTTP://user@LOCALHOST:81/x/", "[Update]\nServer=nothing\n",
                   "HTTP://user@LOCALHOST:81/x/", ServerSource::kEnvironment, true},
        ServerCase{"NumbersAfter127AreLoopbackOnly", "http://127.example.com", nullptr,
                   "http://127.example.com/", ServerSource::kEnvironment, false},
        ServerCase{"EnvironmentWithoutScheme", "updates.example.com", kFileServer, "updates.example.com",
                   ServerSource::kEnvironment, false, false},
        ServerCase{"EnvironmentWithoutHost", "https://", nullptr, "https://", ServerSource::kEnvironment, false, false},
        ServerCase{"FileOfAnotherScheme", nullptr, "[Update]\nServer=ftp://updates.example.com/\n",
                   "ftp://updates.example.com/", ServerSource::kSettingsFile, false, false}),
    test::RowName());

}  // namespace
}  // namespace mzt
