#include "database/ReducedIndex.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "database/DatabaseBytes.h"
#include "platform/ProgramFolder.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;
using test::AsBytes;
using test::AsString;
using test::Bytes;

class ReducedIndexTest : public ::testing::Test {
 protected:
  test::TempFolder folder_;
  fs::path ff01_ = folder_ / "FF01.bin";
  fs::path index_ = folder_ / "Index.bin";
};

TEST_F(ReducedIndexTest, KeepsTheSecondHalfOfEachEntryThenFourZeros) {
  Bytes ff01(100);
  for (size_t i = 0; i < ff01.size(); ++i) ff01[i] = static_cast<uint8_t>(i + 1);
  test::WriteFileBytes(ff01_, AsString(ff01));
  ASSERT_TRUE(MakeReducedIndex(ff01_, index_));

  Bytes expected;
  for (size_t entry = 0; entry < 6; ++entry)
    for (size_t k = 8; k < 16; ++k) expected.push_back(static_cast<uint8_t>(entry * 16 + k + 1));
  expected.insert(expected.end(), 4, 0);
  Bytes index = AsBytes(test::ReadFileBytes(index_));
  EXPECT_EQ(index.size(), 52u);
  EXPECT_EQ(index, expected);
}

TEST_F(ReducedIndexTest, AnIndexWithoutEntriesGivesFourZeros) {
  test::WriteFileBytes(ff01_, "\x01\x02\x03\x04");
  ASSERT_TRUE(MakeReducedIndex(ff01_, index_));
  EXPECT_EQ(test::ReadFileBytes(index_), std::string(4, '\0'));
}

TEST_F(ReducedIndexTest, ManyEntriesAcrossReadPieces) {
  constexpr size_t kEntries = 100000;  // 1.6 MB, more than one read piece
  std::string ff01(kEntries * 16 + 4, '\0');
  for (size_t e = 0; e < kEntries; ++e) ff01[e * 16 + 8] = static_cast<char>(e % 251);
  test::WriteFileBytes(ff01_, ff01);
  ASSERT_TRUE(MakeReducedIndex(ff01_, index_));
  std::string index = test::ReadFileBytes(index_);
  ASSERT_EQ(index.size(), kEntries * 8 + 4);
  for (size_t e = 0; e < kEntries; ++e)
    ASSERT_EQ(index[e * 8], static_cast<char>(e % 251)) << "entry " << e;
}

TEST_F(ReducedIndexTest, ReplacesAnOlderIndexCompletely) {
  test::WriteFileBytes(index_, std::string(500, 'x'));
  test::WriteFileBytes(ff01_, std::string(20, '\x07'));
  ASSERT_TRUE(MakeReducedIndex(ff01_, index_));
  EXPECT_EQ(test::ReadFileBytes(index_), std::string(8, '\x07') + std::string(4, '\0'));
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

TEST_F(ReducedIndexTest, LivesInTheDataFolder) {
  SetDataFolderOverride(folder_ / "data");
  fs::path path = IndexPath();
  SetDataFolderOverride({});
  EXPECT_EQ(path, folder_ / "data" / "Index.bin");
  EXPECT_TRUE(fs::is_directory(folder_ / "data"));

  auto result = MakeReducedIndex(ff01_, fs::path());
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Err().code, ErrorCode::kIo);
}

}  // namespace
}  // namespace mzt
