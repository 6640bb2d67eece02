#include <gtest/gtest.h>

#include "page/ProgressDisplay.h"
#include "page/ServerAnswer.h"
#include "support/ParamName.h"

namespace mzt {
namespace {

struct ServerAnswerRow {
  std::string name;
  std::string text;
  int code;
  std::vector<std::string> fields;
};

class ServerAnswerTest : public ::testing::TestWithParam<ServerAnswerRow> {};

TEST_P(ServerAnswerTest, ReadsCodeAndFields) {
  ServerAnswer answer = ReadServerAnswer(GetParam().text);
  EXPECT_EQ(answer.code, GetParam().code);
  EXPECT_EQ(answer.fields, GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ServerAnswerTest,
    ::testing::Values(ServerAnswerRow{"VersionAnswer", "3,20240105,12", 3, {"20240105", "12"}},
                      ServerAnswerRow{"CodeAlone", "2", 2, {}},
                      ServerAnswerRow{"AsteriskEndsAField", "3,http://h/x.bin*junk", 3,
                                {"http://h/x.bin", "junk"}},
                      ServerAnswerRow{"EmptyFieldKept", "3,,7", 3, {"", "7"}},
                      ServerAnswerRow{"BlanksAndLineBreaksTrimmed", "3, http://h/x.bin\r\n", 3,
                                {"http://h/x.bin"}},
                      ServerAnswerRow{"OnlyTheFieldsUsedAreRead", "3,20240105,12,x,,y", 3,
                                {"20240105", "12"}},
                      ServerAnswerRow{"NonNumericCodeIsZero", "X3,20240105", 0, {"20240105"}},
                      ServerAnswerRow{"LeadingCommaIsEmptyCode", ",3", 0, {"3"}},
                      ServerAnswerRow{"Empty", "", 0, {}}),
    test::RowName());

struct ProgressRow {
  std::string name;
  uint64_t done;
  uint64_t total;
  std::wstring text;
};

class ProgressTextTest : public ::testing::TestWithParam<ProgressRow> {};

TEST_P(ProgressTextTest, KilobytesFromATotalOf1024) {
  EXPECT_EQ(ProgressText(GetParam().done, GetParam().total), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Amounts, ProgressTextTest,
    // A total of 0 is a download without a Content-Length: the bytes received alone.
    ::testing::Values(ProgressRow{"NoTotalYet", 0, 0, L"0.0 Bytes"},
                      ProgressRow{"NoTotal", 3807, 0, L"3.7 KB"},
                      ProgressRow{"NoTotalOneKilobyte", 1024, 0, L"1.0 KB"},
                      ProgressRow{"Nothing", 0, 1, L"0.0 Bytes / 1.0 Bytes"},
                      ProgressRow{"JustBelowKilobyte", 512, 1023, L"512.0 Bytes / 1023.0 Bytes"},
                      ProgressRow{"OneKilobyte", 512, 1024, L"0.5 KB / 1.0 KB"},
                      ProgressRow{"Rounded", 300000, 300000, L"293.0 KB / 293.0 KB"},
                      ProgressRow{"Large", 1ull << 27, 1ull << 28, L"131072.0 KB / 262144.0 KB"}),
    test::RowName());

}  // namespace
}  // namespace mzt
