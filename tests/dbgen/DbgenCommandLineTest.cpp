#include "dbgen/DbgenCommandLine.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/ParamName.h"

namespace mzt::dbgen {
namespace {

Result<DbgenCommand> Parse(std::vector<std::string_view> args) {
  return ParseDbgenCommandLine(args);
}

TEST(DbgenCommandLineTest, ReadsEveryOption) {
  auto c = Parse({"--out", "db.bin", "--year", "2025", "--month", "12", "--day", "31", "--number",
                  "7", "--grid", "12x34", "--records", "99", "--seed", "18446744073709551615"});
  ASSERT_TRUE(c) << c.Err().message;
  EXPECT_FALSE(c.Value().help);
  EXPECT_EQ(c.Value().out, "db.bin");
  const DatabaseOptions& o = c.Value().database;
  EXPECT_EQ(o.year, 2025);
  EXPECT_EQ(o.month, 12);
  EXPECT_EQ(o.day, 31);
  EXPECT_EQ(o.number, 7);
  EXPECT_EQ(o.gridA, 12);
  EXPECT_EQ(o.gridB, 34);
  EXPECT_EQ(o.records, 99u);
  EXPECT_EQ(o.seed, 18446744073709551615ull);
}

TEST(DbgenCommandLineTest, SizeChoosesTheRecordCount) {
  auto c = Parse({"--grid", "8x16", "--size-mib", "64", "--out", "big.bin"});
  ASSERT_TRUE(c) << c.Err().message;
  EXPECT_EQ(c.Value().database.records, RecordsForSize(64u << 20, 8, 16));
}

TEST(DbgenCommandLineTest, HelpNeedsNothingElse) {
  auto c = Parse({"--help"});
  ASSERT_TRUE(c);
  EXPECT_TRUE(c.Value().help);
  EXPECT_NE(DbgenUsage().find("--size-mib"), std::string::npos);
}

struct BadRow {
  std::string name;
  std::vector<std::string_view> args;
  std::string mentions;
};

class DbgenBadCommandLineTest : public ::testing::TestWithParam<BadRow> {};

TEST_P(DbgenBadCommandLineTest, IsRefusedNamingTheProblem) {
  auto c = Parse(GetParam().args);
  ASSERT_FALSE(c);
  EXPECT_EQ(c.Err().code, ErrorCode::kInvalidArgument);
  EXPECT_NE(c.Err().message.find(GetParam().mentions), std::string::npos) << c.Err().message;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DbgenBadCommandLineTest,
    ::testing::Values(
        BadRow{"NoOut", {"--records", "5"}, "--out"},
        BadRow{"MissingValue", {"--out", "x", "--records"}, "--records needs a value"},
        BadRow{"UnknownOption", {"--out", "x", "--colour", "red"}, "--colour"},
        BadRow{"MonthThirteen", {"--out", "x", "--month", "13"}, "--month"},
        BadRow{"DayZero", {"--out", "x", "--day", "0"}, "--day"},
        BadRow{"YearNotANumber", {"--out", "x", "--year", "20x4"}, "20x4"},
        BadRow{"GridWithoutX", {"--out", "x", "--grid", "12"}, "--grid"},
        BadRow{"GridZero", {"--out", "x", "--grid", "0x4"}, "--grid"},
        BadRow{"GridTooLarge", {"--out", "x", "--grid", "4x65536"}, "--grid"},
        BadRow{"NegativeRecords", {"--out", "x", "--records", "-1"}, "--records"},
        BadRow{"RecordsAndSize", {"--out", "x", "--records", "5", "--size-mib", "1"}, "exclude"},
        BadRow{"SizeBelowIndex", {"--out", "x", "--grid", "300x300", "--size-mib", "1"},
               "too small"}),
    test::RowName());

}  // namespace
}  // namespace mzt::dbgen
