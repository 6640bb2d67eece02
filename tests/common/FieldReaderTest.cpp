#include "common/FieldReader.h"

#include <gtest/gtest.h>

#include "support/ParamName.h"

#include <string>
#include <vector>

namespace mzt {
namespace {

std::vector<std::string> AllFields(std::string_view text, size_t maxLength = std::string::npos) {
  std::vector<std::string> fields;
  size_t pos = 0;
  std::string field;
  while (NextField(text, pos, field, maxLength)) fields.push_back(field);
  return fields;
}

struct FieldCase {
  const char* name;
  std::string text;
  size_t maxLength;
  std::vector<std::string> expected;
};

class FieldReaderTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldReaderTest, SplitsFieldsInOrder) {
  EXPECT_EQ(AllFields(GetParam().text, GetParam().maxLength), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FieldReaderTest,
    ::testing::Values(
        FieldCase{"Empty", "", std::string::npos, {}},
        FieldCase{"LeadingComma", ",x", std::string::npos, {"", "x"}},
        FieldCase{"SentenceBody", "a,,b*3F", std::string::npos, {"a", "", "b", "3F"}},
        FieldCase{"Reply", "$LOG109,1*2A", std::string::npos, {"$LOG109", "1", "2A"}},
        FieldCase{"CutToBuffer", "1234567890123,7", 9, {"123456789", "7"}},
        FieldCase{"RawNulKept", std::string("$LOG108,1,4,1,\0\x0D\x05\x11*00", 21),
                  std::string::npos,
                  {"$LOG108", "1", "4", "1", std::string("\0\x0D\x05\x11", 4), "00"}}),
    test::RowName());

TEST(ParseNumberTest, DecimalAndHexStopAtFirstNonDigit) {
  EXPECT_EQ(ParseDecimal("-12x"), -12);
  EXPECT_EQ(ParseDecimal("+7"), 7);
  EXPECT_EQ(ParseDecimal(""), 0);
  EXPECT_EQ(ParseDecimal("abc"), 0);
  EXPECT_EQ(ParseHex("07DC"), 0x07DCu);
  EXPECT_EQ(ParseHex("ffG1"), 0xFFu);
  EXPECT_EQ(ParseHex(""), 0u);
}

}  // namespace
}  // namespace mzt
