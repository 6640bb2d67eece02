#include <gtest/gtest.h>

#include <cstdlib>

#include "common/PortNumber.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

TEST(PortNumberTest, TrailingDecimalNumber) {
  EXPECT_EQ(GetSelectedPortNumber("COM3"), 3);
  EXPECT_EQ(GetSelectedPortNumber("COM12"), 12);
  EXPECT_EQ(GetSelectedPortNumber("/dev/ttyACM3"), 3);
  EXPECT_EQ(GetSelectedPortNumber("/dev/ttyACM0"), 0);
  EXPECT_EQ(GetSelectedPortNumber("COM"), 0);
}

TEST(TextCodecTest, CodePage950RoundTrip) {
  EXPECT_EQ(WideToAnsi(L"日期"), "\xA4\xE9\xB4\xC1");
  EXPECT_EQ(AnsiToWide("\xA4\xE9\xB4\xC1"), L"日期");
  EXPECT_EQ(AnsiToWide("1.0.0.3"), L"1.0.0.3");
  EXPECT_EQ(WideToUtf8(L"台灣"), "台灣");
  EXPECT_EQ(Utf8ToWide("中國"), L"中國");
  // The bounded form never writes past its output.
  wchar_t out[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(AnsiToWide("abcdef", out, 3), 3u);
  EXPECT_EQ(std::wstring(out), L"ab");
  EXPECT_EQ(out[3], L'x');
  EXPECT_EQ(AnsiToWide("abc", nullptr, 3), 0u);
  // A lead byte cut off at the end does not convert.
  EXPECT_EQ(AnsiToWide("A\xA4"), L"A\xFFFD");
}

TEST(ProgramFolderTest, HomeVariableWinsAndDataFolderIsCreated) {
  test::TempFolder folder;
  setenv("MZT_HOME", (folder / "home").c_str(), 1);
  EXPECT_EQ(ConfigFolder(), folder / "home");
  EXPECT_EQ(DataFolder(), folder / "home");
  EXPECT_TRUE(std::filesystem::is_directory(folder / "home"));
  SetDataFolderOverride(folder / "data");
  EXPECT_EQ(DataFolder(), folder / "data");
  SetDataFolderOverride({});
  unsetenv("MZT_HOME");
  setenv("XDG_CONFIG_HOME", (folder / "cfg").c_str(), 1);
  setenv("XDG_DATA_HOME", (folder / "share").c_str(), 1);
  EXPECT_EQ(SettingsFilePath(), folder / "cfg" / "mzt-utility" / "MZTConfig.ini");
  EXPECT_EQ(DataFolder(), folder / "share" / "mzt-utility");
  // Without them, under the home folder.
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_DATA_HOME");
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", (folder / "user").c_str(), 1);
  EXPECT_EQ(SettingsFilePath(), folder / "user" / ".config" / "mzt-utility" / "MZTConfig.ini");
  EXPECT_EQ(DataFolder(), folder / "user" / ".local" / "share" / "mzt-utility");
  setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace mzt
