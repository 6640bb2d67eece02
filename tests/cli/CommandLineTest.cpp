#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include "common/JsonText.h"
#include "recording/Anonymiser.h"
#include "cli/ProgressMeter.h"
#include "support/ParamName.h"

namespace mzt {
namespace {

struct ParseCase {
  const char* name;
  std::vector<std::string> args;
  bool valid;
  std::string command;  // or, for a refused line, part of its error
  std::string port{};
};

class CommandLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineTest, Parses) {
  auto options = ParseCommandLine(GetParam().args);
  ASSERT_EQ(options.Ok(), GetParam().valid) << (options ? "" : options.Err().message);
  if (options) {
    EXPECT_EQ(options.Value().command, GetParam().command);
    EXPECT_EQ(options.Value().port, GetParam().port);
  } else {
    EXPECT_NE(options.Err().message.find(GetParam().command), std::string::npos) << options.Err().message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTest,
    ::testing::Values(
        ParseCase{"Query", {"query", "--port", "/dev/ttyACM0"}, true, "query", "/dev/ttyACM0"},
        ParseCase{"ValueAfterEquals", {"query", "--port=/dev/tty=1"}, true, "query", "/dev/tty=1"},
        ParseCase{"EmptyValueAfterEquals", {"update", "--server="}, true, "update"},
        ParseCase{"FlagTakesNoValue", {"query", "--yes=no"}, false, ""},
        ParseCase{"ServerWithoutScheme", {"update", "--server", "127.0.0.1:8086"}, false, ""},
        ParseCase{"ServerWithoutHost", {"update", "--server=http:///x"}, false, ""},
        ParseCase{"HttpsServer", {"update", "--server", "https://h"}, true, "update"},
        ParseCase{"UpdateWithEverything",
                  {"--yes", "update", "--region", "cn", "--server", "http://h/", "--data-dir", "d",
                   "--verbose"},
                  true, "update"},
        ParseCase{"UploadNeedsItsFile", {"upload"}, false, "upload takes one argument"},
        ParseCase{"UploadWithFile", {"upload", "db.bin"}, true, "upload"},
        ParseCase{"BareDashIsAFileName", {"upload", "-"}, true, "upload"},
        ParseCase{"SplitWithOut", {"split", "db.bin", "--out", "dir"}, true, "split"},
        ParseCase{"OutOnlyForSplit", {"query", "--out", "dir"}, false, ""},
        ParseCase{"SerialOrPort", {"query", "--serial", "SN1", "--port", "p"}, false, "give one"},
        ParseCase{"SerialOnlyForTheDevice", {"split", "f", "--serial", "SN1"}, false, "--serial is for"},
        ParseCase{"UnknownOption", {"query", "--fast"}, false, ""},
        ParseCase{"OptionWithoutValue", {"query", "--port"}, false, ""},
        ParseCase{"BadRegion", {"update", "--region", "jp"}, false, ""},
        ParseCase{"NoCommand", {}, false, "no command given"},
        ParseCase{"HelpAlone", {"--help"}, true, ""},
        ParseCase{"ExtraArgument", {"query", "x"}, false, "query takes no argument"},
        ParseCase{"DataDirWithoutValueBeforeACommand", {"query", "--data-dir"}, false, ""},
        ParseCase{"DataDirIsNoCommand", {"--data-dir", "query"}, false, "not the command query"},
        ParseCase{"DataDirNamedLikeACommand", {"--data-dir", "./query", "query"}, true, "query"},
        ParseCase{"JsonNotForUpdate", {"update", "--json"}, false, "--json is for ports, query, check and doctor"},
        ParseCase{"HelpForACommand", {"help", "doctor"}, true, "help"},
        // A slip of the fingers is told the nearest command, the same way however help is asked.
        ParseCase{"HelpForNoCommand", {"help", "updte"}, false, "unknown command updte; did you mean update?"},
        ParseCase{"NoCommandsHelp", {"updte", "--help"}, false, "unknown command updte; did you mean update?"},
        ParseCase{"MistypedCommand", {"-y", "clear-pio"}, false, "did you mean clear-poi?"},
        ParseCase{"DoubleDashEndsTheOptions", {"split", "--", "-odd-name.bin"}, true, "split"},
        ParseCase{"DoubleDashBeforeTheCommand", {"--", "split", "--out"}, true, "split"}),
    test::RowName());

struct JsonCase {
  const char* name;
  std::string text;
  std::string json;
  bool bytes = false;  // a recording's byte string, which must read back as the same bytes
};

class JsonQuotedTest : public ::testing::TestWithParam<JsonCase> {};

TEST_P(JsonQuotedTest, IsValidJson) {
  const JsonCase& row = GetParam();
  if (!row.bytes) {
    EXPECT_EQ(JsonQuoted(row.text), row.json);
    return;
  }
  EXPECT_EQ(JsonBytes(std::span(reinterpret_cast<const uint8_t*>(row.text.data()), row.text.size())), row.json);
  auto read = ParseJsonObject("{\"bytes\": " + row.json + "}");
  ASSERT_TRUE(read) << read.Err().message;
  std::string back;
  ASSERT_TRUE(BytesFromJsonText(read.Value()["bytes"].text, back));
  EXPECT_EQ(back, row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonQuotedTest,
    ::testing::Values(
        JsonCase{"QuoteAndBackslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
        JsonCase{"ControlCharacters", std::string("\t\n\x01\x7f", 4), "\"\\t\\n\\u0001\\u007f\""},
        JsonCase{"ChineseKept", "台灣", "\"台灣\""},
        JsonCase{"StrayByteReplaced", "a\xA4" "b", "\"a\xEF\xBF\xBD" "b\""},
        JsonCase{"CutSequenceReplaced", "\xE5\x8F", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        JsonCase{"OverlongReplaced", "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        JsonCase{"SentenceBytes", "$LOG108,1,1,\"x\\*7D\r\n", "\"$LOG108,1,1,\\\"x\\\\*7D\\r\\n\"", true},
        JsonCase{"RawDateBytes", std::string("\x07\xEA\x0D\x00\xA4\xFF", 6),
                 "\"\\u0007\\u00ea\\r\\u0000\\u00a4\\u00ff\"", true}),
    test::RowName());

// --anonymise: the device ID, learned from its reply, and the serial number
// get the same stand-in wherever they appear; POI coordinates are zeroed; a
// changed sentence gets its checksum anew.
struct AnonymiseCase {
  const char* name;
  std::string sentence;
  std::string recorded;
};

class AnonymiseTest : public ::testing::TestWithParam<AnonymiseCase> {};

TEST_P(AnonymiseTest, LeavesOutTheIdentityAndKeepsTheChecksum) {
  Anonymiser anonymiser;
  anonymiser.Learn("SN42");
  EXPECT_EQ(anonymiser.Sentence("$LOG108,1,2,MZT0000001*20\r\n"), "$LOG108,1,2,ANON000002*5E\r\n");
  EXPECT_EQ(anonymiser.Sentence(GetParam().sentence), GetParam().recorded);
  EXPECT_EQ(anonymiser.Text("/DBDownload_NEW.aspx?SN=MZT0000001&s=SN42"), "/DBDownload_NEW.aspx?SN=ANON000002&s=0001");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AnonymiseTest,
    ::testing::Values(
        AnonymiseCase{"PoiCoordinatesZeroed",
                      "$LOG114,1,0,0.436861148,-2.121732194,0.436908272,2.121716487,180,0,40,0,1,1,1,0,300*7A\r\n",
                      "$LOG114,1,0,0.000000000,-0.000000000,0.000000000,0.000000000,180,0,40,0,1,1,1,0,300*7F\r\n"},
        AnonymiseCase{"IdAgainSameStandIn", "$LOG108,1,2,MZT0000001*20\r\n", "$LOG108,1,2,ANON000002*5E\r\n"},
        AnonymiseCase{"OtherReplyKept", "$LOG108,1,1,1.4.0.7*7D\r\n", "$LOG108,1,1,1.4.0.7*7D\r\n"}),
    test::RowName());

TEST(ProgressMeterTest, BytesShowAmountsRateAndTimeLeft) {
  ProgressMeter meter;
  auto start = ProgressMeter::Clock::time_point{};
  meter.Start(2048 * 1024, start);
  meter.Update(1024 * 1024, start + std::chrono::seconds(2));
  EXPECT_EQ(meter.Percent(), 50);
  EXPECT_EQ(meter.Render(10), "[#####-----]  50%  1.0 MiB / 2.0 MiB  512.0 KiB/s  00:02 left");
  meter.Update(2048 * 1024, start + std::chrono::seconds(4));
  EXPECT_EQ(meter.Render(10), "[##########] 100%  2.0 MiB / 2.0 MiB  512.0 KiB/s");
  // Without a total (no Content-Length): what has come, and how fast.
  meter.Start(0, start);
  meter.Update(3807, start + std::chrono::seconds(2));
  EXPECT_EQ(meter.Render(10), "3.7 KiB received  1.9 KiB/s");
}

TEST(ProgressMeterTest, PercentRangeShowsOnlyTheBar) {
  ProgressMeter meter;
  meter.Start(1, {});
  meter.Update(1, {});
  EXPECT_EQ(meter.Render(4, false), "[####] 100%");
}

}  // namespace
}  // namespace mzt
