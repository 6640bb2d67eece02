#include <gtest/gtest.h>

#include "updserver/ServerArguments.h"
#include "support/ParamName.h"

namespace mzt::updserver {
namespace {

struct FaultRow {
  std::string name;
  std::string text;
  bool valid;
  Page page;
  PageFault expected;
};

class FaultTextTest : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultTextTest, ReadsPageModeAndValue) {
  const FaultRow& row = GetParam();
  auto parsed = ParseFault(row.text);
  ASSERT_EQ(parsed.Ok(), row.valid);
  if (!row.valid) return;
  const auto& [page, fault] = parsed.Value();
  EXPECT_EQ(page, row.page);
  EXPECT_EQ(fault.status, row.expected.status);
  EXPECT_EQ(fault.body, row.expected.body);
  EXPECT_EQ(fault.truncate, row.expected.truncate);
  EXPECT_EQ(fault.chunked, row.expected.chunked);
  EXPECT_EQ(fault.pieceDelay, row.expected.pieceDelay);
  EXPECT_EQ(fault.location, row.expected.location);
  EXPECT_EQ(fault.dripRate, row.expected.dripRate);
  EXPECT_EQ(fault.hugeBytes, row.expected.hugeBytes);
}

const std::string k44(44, '7');

INSTANTIATE_TEST_SUITE_P(
    Modes, FaultTextTest,
    ::testing::Values(
        FaultRow{"Status", "address:status:404", true, Page::kDownloadAddress, {.status = 404}},
        FaultRow{"Truncate", "download:truncate", true, Page::kDownload, {.truncate = true}},
        FaultRow{"Slow", "download:slow:250", true, Page::kDownload,
                 {.pieceDelay = std::chrono::milliseconds(250)}},
        FaultRow{"Chunked", "download:chunked", true, Page::kDownload, {.chunked = true}},
        FaultRow{"ShortDefault", "download:short", true, Page::kDownload, {.body = "2"}},
        FaultRow{"Short44", "download:short:" + k44, true, Page::kDownload, {.body = k44}},
        FaultRow{"NonNumeric", "check:nonnumeric", true, Page::kVersionCheck,
                 {.body = "X3,20240105,12"}},
        FaultRow{"Garbage", "check:garbage", true, Page::kVersionCheck,
                 {.body = "\x89GARBAGE\r\n\x1a\xff\xfe<html>no answer</html>"}},
        FaultRow{"Body", "success:body:6", true, Page::kSuccessReport, {.body = "6"}},
        FaultRow{"Redirect", "check:redirect:http://h/x", true, Page::kVersionCheck,
                 {.status = 302, .location = "http://h/x"}},
        FaultRow{"DripDefault", "check:drip", true, Page::kVersionCheck, {.dripRate = 2}},
        FaultRow{"Drip", "download:drip:16", true, Page::kDownload, {.dripRate = 16}},
        FaultRow{"HugeDefault", "success:huge", true, Page::kSuccessReport,
                 {.hugeBytes = 64u << 20}},
        FaultRow{"Huge", "address:huge:32", true, Page::kDownloadAddress,
                 {.hugeBytes = 32u << 20}},
        FaultRow{"DripNone", "check:drip:0", false, Page::kDownload, {}},
        FaultRow{"HugeBeyondAGibibyte", "check:huge:1025", false, Page::kDownload, {}},
        FaultRow{"ShortTooLong", "download:short:" + k44 + "7", false, Page::kDownload, {}},
        FaultRow{"UnknownPage", "home:truncate", false, Page::kDownload, {}},
        FaultRow{"UnknownMode", "check:explode", false, Page::kDownload, {}},
        FaultRow{"StatusOutOfRange", "check:status:99", false, Page::kDownload, {}},
        FaultRow{"StatusNotNumber", "check:status:4x4", false, Page::kDownload, {}},
        FaultRow{"ValueNotExpected", "download:truncate:1", false, Page::kDownload, {}},
        FaultRow{"NoMode", "check", false, Page::kDownload, {}}),
    test::RowName());

TEST(ServerArgumentsTest, ReadsOptionsAndRefusesBadOnes) {
  auto parsed = ParseServerArguments(
      {"--port", "8086", "--host", "0.0.0.0", "--db-dir", "/srv/db", "--fault", "check:garbage",
       "--fault", "download:truncate"});
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed.Value().options.port, 8086);
  EXPECT_EQ(parsed.Value().options.host, "0.0.0.0");
  EXPECT_EQ(parsed.Value().options.databaseFolder, "/srv/db");
  ASSERT_EQ(parsed.Value().faults.size(), 2u);
  EXPECT_EQ(parsed.Value().faults[1].first, Page::kDownload);
  EXPECT_FALSE(parsed.Value().help);

  auto defaults = ParseServerArguments({});
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults.Value().options.port, 8086);
  EXPECT_EQ(defaults.Value().options.host, "127.0.0.1");
  EXPECT_TRUE(ParseServerArguments({"--help"}).Value().help);

  for (const auto& bad : std::vector<std::vector<std::string>>{
           {"--port"}, {"--port", "65536"}, {"--port", "-1"}, {"--verbose"}, {"--fault", "x"}})
    EXPECT_FALSE(ParseServerArguments(bad)) << bad[0];
}

}  // namespace
}  // namespace mzt::updserver
