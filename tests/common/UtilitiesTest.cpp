#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "common/MessageCatalogue.h"
#include "common/PortNumber.h"
#include "common/TextFill.h"
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

// A catalogue laid out as msgfmt writes it: header, the English texts' table,
// the translations' table, then the texts, each ended by a NUL.
std::string CatalogueBytes(const std::vector<std::pair<std::string, std::string>>& entries, bool bigEndian) {
  std::string bytes;
  auto word = [&](size_t value) {
    for (int i = 0; i < 4; ++i)
      bytes += static_cast<char>((value >> (8 * (bigEndian ? 3 - i : i))) & 0xFF);
  };
  const size_t n = entries.size(), originals = 28, translations = originals + 8 * n;
  size_t at = translations + 8 * n;
  for (size_t v : {size_t{0x950412de}, size_t{0}, n, originals, translations, size_t{0}, at}) word(v);
  std::string texts;
  for (bool translated : {false, true})
    for (const auto& [english, text] : entries) {
      const std::string& t = translated ? text : english;
      word(t.size());
      word(at + texts.size());
      texts += t + '\0';
    }
  return bytes + texts;
}

TEST(MessageCatalogueTest, EitherByteOrderAndNothingPastTheEnd) {
  const std::vector<std::pair<std::string, std::string>> entries{
      {"", "Content-Type: text/plain; charset=UTF-8\n"}, {"Stopped.", "已停止。"}, {"untranslated", ""}};
  for (bool bigEndian : {false, true}) {
    auto read = ParseMessageCatalogue(CatalogueBytes(entries, bigEndian));
    ASSERT_TRUE(read) << bigEndian;
    EXPECT_EQ(read.Value(), (MessageCatalogue{{"Stopped.", "已停止。"}})) << "header and untranslated left out";
  }
  std::string good = CatalogueBytes(entries, false);
  std::string textPastEnd = good;
  textPastEnd[28 + 8 + 4 + 3] = '\x7f';  // the second English text's offset, high byte
  for (const std::string& broken : {good.substr(0, 19), good.substr(0, 40), std::string(28, '\0'), textPastEnd})
    EXPECT_EQ(ParseMessageCatalogue(broken).Err().code, ErrorCode::kFormat);

  // The build's own zh_TW catalogue, as msgfmt compiled it.
  std::ifstream file(MZT_ZH_TW_CATALOGUE, std::ios::binary);
  auto built = ParseMessageCatalogue(std::string(std::istreambuf_iterator<char>(file), {}));
  ASSERT_TRUE(built) << MZT_ZH_TW_CATALOGUE;
  EXPECT_EQ(built.Value().at("the server answers"), "伺服器有回應");
}

TEST(TextFillTest, PlacesInTheTranslationsOrder) {
  EXPECT_EQ(Fill("{2} replaces {1}.", {"old", "new"}), "new replaces old.");
  EXPECT_EQ(Fill(L"{1}{1} {3} {1", {L"a", L"b"}), L"aa {3} {1");
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
