#include "database/ReducedIndex.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;

class ReducedIndexTest : public ::testing::Test {
 protected:
  test::TempFolder folder_;
  fs::path ff01_ = folder_ / "FF01.bin";
  fs::path index_ = folder_ / "Index.bin";
};

TEST_F(ReducedIndexTest, KeepsTheSecondHalfOfEachEntryThenFourZeros) {
  // Entries of many cells are the round trip's (SplitRoundTripTest).
  test::WriteFileBytes(ff01_, "\x01\x02\x03\x04");
  ASSERT_TRUE(MakeReducedIndex(ff01_, index_));
  EXPECT_EQ(test::ReadFileBytes(index_), std::string(4, '\0'));
  test::WriteFileBytes(ff01_, std::string(20, '\x07'));
  test::WriteFileBytes(index_, std::string(500, 'x'));  // an older index is replaced
  ASSERT_TRUE(MakeReducedIndex(ff01_, index_));
  EXPECT_EQ(test::ReadFileBytes(index_), std::string(8, '\x07') + std::string(4, '\0'));
  auto unwritable = MakeReducedIndex(ff01_, fs::path());
  ASSERT_FALSE(unwritable);
  EXPECT_EQ(unwritable.Err().code, ErrorCode::kIo);
}

struct BadIndexRow {
  std::string name;
  int size;  // -1: no FF01.bin
  ErrorCode code;
};

class BadIndexTest : public ReducedIndexTest, public ::testing::WithParamInterface<BadIndexRow> {};

TEST_P(BadIndexTest, FailsAndWritesNothing) {
  if (GetParam().size >= 0) test::WriteFileBytes(ff01_, std::string(GetParam().size, '\x01'));
  auto result = MakeReducedIndex(ff01_, index_);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Err().code, GetParam().code);
  EXPECT_NE(result.Err().message.find("FF01.bin"), std::string::npos) << result.Err().message;
  EXPECT_FALSE(fs::exists(index_));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.Path()), fs::directory_iterator()),
            GetParam().size >= 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Files, BadIndexTest,
                         ::testing::Values(BadIndexRow{"Missing", -1, ErrorCode::kIo},
                                           BadIndexRow{"Empty", 0, ErrorCode::kFormat},
                                           BadIndexRow{"NoTrailingValue", 3, ErrorCode::kFormat},
                                           BadIndexRow{"PartEntry", 101, ErrorCode::kFormat}),
                         test::RowName());

}  // namespace
}  // namespace mzt
