#include "database/DatabaseSplitter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "database/DatabaseBytes.h"
#include "platform/SystemError.h"
#include "support/ParamName.h"
#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;
using test::Append;
using test::AsBytes;
using test::AsString;
using test::Assemble;
using test::Bytes;

// Grid 2 x 3: L = 2 * 3 * 16 + 4 = 100, records from offset 144.
constexpr size_t kRecordsAt = 144;

Bytes GoldenHeader(bool device) { return Assemble(test::kHeaderFields, 44, device); }

// Six entries; entry e holds the values e*0x10+1..3 and a record offset,
// 2000 (rebased, less 44 + 100: 1856) for the first and 144 + 20e (rebased 20e) for
// the others; then the trailing value. Each 32-bit word little- or big-endian.
Bytes GridIndex(bool bigEndian, bool rebased) {
  std::vector<uint32_t> words;
  for (uint32_t e = 0; e < 6; ++e)
    words.insert(words.end(), {e * 16 + 1, e * 16 + 2, e * 16 + 3,
                               rebased ? (e ? 20 * e : 1856) : (e ? 144 + 20 * e : 2000)});
  words.push_back(0x11223344);
  Bytes index;
  for (uint32_t word : words)
    for (int i = 0; i < 4; ++i)
      index.push_back(static_cast<uint8_t>(word >> 8 * (bigEndian ? 3 - i : i)));
  return index;
}

Bytes Record(bool device) { return Assemble(test::kRecordFields, 36, device); }

class SplitTest : public ::testing::Test {
 protected:
  void WriteDatabase(const Bytes& bytes) { test::WriteFileBytes(db_, AsString(bytes)); }
  // Header, index and `records` whole records followed by `tail`.
  Bytes Database(int records, const Bytes& tail = {}) {
    Bytes bytes = GoldenHeader(false);
    Append(bytes, GridIndex(false, false));
    for (int i = 0; i < records; ++i) Append(bytes, Record(false));
    Append(bytes, tail);
    return bytes;
  }
  Result<void> SplitAll(bool swap = true) {
    if (auto r = splitter_.SplitHeader(db_, swap, ff00_); !r) return r;
    if (auto r = splitter_.SplitIndex(db_, swap, ff01_); !r) return r;
    return splitter_.SplitRecords(db_, swap, ff02_);
  }
  Bytes Read(const fs::path& path) { return AsBytes(test::ReadFileBytes(path)); }
  std::set<std::string> FolderNames() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.Path()))
      names.insert(entry.path().filename().string());
    return names;
  }

  test::TempFolder folder_;
  fs::path db_ = folder_ / "ULDB.bin";
  DatabaseSplitter splitter_;
  fs::path ff00_, ff01_, ff02_;
};

// Header and record fields turn big-endian, the record ID's halves swapped in
// place; index entries swap and their record offsets count from the first record.
TEST_F(SplitTest, WritesTheThreeDeviceFilesNextToTheDatabaseInDeviceOrder) {
  test::WriteFileBytes(folder_ / "FF02.bin", std::string(5000, 'x'));  // an earlier split's
  WriteDatabase(Database(1));
  ASSERT_TRUE(SplitAll());
  EXPECT_EQ(ff00_, folder_ / "FF00.bin");
  EXPECT_EQ(ff01_, folder_ / "FF01.bin");
  EXPECT_EQ(ff02_, folder_ / "FF02.bin");
  EXPECT_EQ(FolderNames(), (std::set<std::string>{"ULDB.bin", "FF00.bin", "FF01.bin", "FF02.bin"}));
  EXPECT_EQ(splitter_.GridA(), 2);
  EXPECT_EQ(splitter_.GridB(), 3);

  // The field tables cover every byte of the header and of a record.
  EXPECT_EQ(Read(ff00_), GoldenHeader(true));
  EXPECT_EQ(Read(ff01_), GridIndex(true, true));
  EXPECT_EQ(Read(ff02_), Record(true));
}

struct TailRow {
  std::string name;
  int records;
  Bytes file;
  Bytes device;
};

class PartialRecordTest : public SplitTest, public ::testing::WithParamInterface<TailRow> {};

// Two records and a part of 8 bytes, and shorter parts; no records at all.
TEST_P(PartialRecordTest, LastPartKeepsItsLengthWithItsFirstFourBytesSwapped) {
  WriteDatabase(Database(GetParam().records, GetParam().file));
  ASSERT_TRUE(SplitAll());
  Bytes expected;
  for (int i = 0; i < GetParam().records; ++i) Append(expected, Record(true));
  Append(expected, GetParam().device);
  EXPECT_TRUE(fs::exists(ff02_));
  EXPECT_EQ(Read(ff02_), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tails, PartialRecordTest,
    ::testing::Values(
        TailRow{"EightBytes", 2, {1, 2, 3, 4, 5, 6, 7, 8}, {4, 3, 2, 1, 5, 6, 7, 8}},
        TailRow{"FourBytes", 2, {1, 2, 3, 4}, {4, 3, 2, 1}},
        TailRow{"ThirtyFiveBytes", 2, Bytes(35, 9), Bytes(35, 9)},
        // Fewer than four bytes hold no whole field: copied as they are.
        TailRow{"ThreeBytes", 2, {1, 2, 3}, {1, 2, 3}},
        TailRow{"FileEndsWithItsIndex", 0, {}, {}}),
    test::RowName());

TEST_F(SplitTest, WithoutSwapBytesStayButOffsetsAreStillRebased) {
  WriteDatabase(Database(1, {1, 2, 3, 4, 5}));
  ASSERT_TRUE(SplitAll(false));
  EXPECT_EQ(Read(ff00_), GoldenHeader(false));
  EXPECT_EQ(Read(ff01_), GridIndex(false, true));
  Bytes expected = Record(false);
  Append(expected, {1, 2, 3, 4, 5});
  EXPECT_EQ(Read(ff02_), expected);
}

// The later steps go on reading the file the header step opened: one
// replaced meanwhile is not mixed in, one cut short fails them and leaves
// nothing half written.
TEST_F(SplitTest, LaterStepsReadTheFileTheHeaderStepOpened) {
  WriteDatabase(Database(1));
  ASSERT_TRUE(splitter_.SplitHeader(db_, true, ff00_));
  Bytes other = Database(1);
  other[kRecordsAt] ^= 0xFF;
  test::WriteFileBytes(folder_ / "other.bin", AsString(other));
  fs::rename(folder_ / "other.bin", db_);
  ASSERT_TRUE(splitter_.SplitIndex(db_, true, ff01_));
  ASSERT_TRUE(splitter_.SplitRecords(db_, true, ff02_));
  EXPECT_EQ(Read(ff02_), Record(true));

  ASSERT_TRUE(splitter_.SplitHeader(db_, true, ff00_));
  fs::resize_file(db_, kRecordsAt - 1);
  auto index = splitter_.SplitIndex(db_, true, ff01_);
  ASSERT_FALSE(index);
  EXPECT_EQ(index.Err().code, ErrorCode::kFormat);
  EXPECT_FALSE(splitter_.SplitRecords(db_, true, ff02_));
  // Only the files of the first split; no part of a second FF01.bin.
  EXPECT_EQ(FolderNames(), (std::set<std::string>{"ULDB.bin", "FF00.bin", "FF01.bin", "FF02.bin"}));
}

struct RejectedRow {
  std::string name;
  int size;  // bytes of the golden file kept, -1: no file at all
  uint8_t magicLastByte;
};

class RejectedFileTest : public SplitTest, public ::testing::WithParamInterface<RejectedRow> {};

TEST_P(RejectedFileTest, IsAFormatErrorAndWritesNothing) {
  const auto& row = GetParam();
  if (row.size >= 0) {
    Bytes bytes = Database(2);
    bytes[3] = row.magicLastByte;
    bytes.resize(static_cast<size_t>(row.size));
    WriteDatabase(bytes);
  }
  auto result = splitter_.SplitHeader(db_, true, ff00_);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Err().code, ErrorCode::kFormat);
  EXPECT_NE(result.Err().message.find("ULDB.bin"), std::string::npos) << result.Err().message;
  EXPECT_EQ(ff00_, folder_ / "FF00.bin");
  EXPECT_FALSE(splitter_.GridA());
  // Nothing written, also by the steps a careless caller runs afterwards.
  auto index = splitter_.SplitIndex(db_, true, ff01_);
  ASSERT_FALSE(index);
  EXPECT_EQ(index.Err().code, ErrorCode::kInvalidArgument);
  EXPECT_FALSE(splitter_.SplitRecords(db_, true, ff02_));
  std::set<std::string> expected;
  if (row.size >= 0) expected.insert("ULDB.bin");
  EXPECT_EQ(FolderNames(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RejectedFileTest,
    ::testing::Values(RejectedRow{"Missing", -1, 0x42}, RejectedRow{"Empty", 0, 0x42},
                      RejectedRow{"ShortHeader", 43, 0x42},
                      RejectedRow{"MagicEndsIn43", 144 + 72, 0x43},
                      RejectedRow{"IndexCutShort", kRecordsAt - 1, 0x42},
                      RejectedRow{"OnlyTheHeader", 44, 0x42}),
    test::RowName());

TEST_F(SplitTest, AnyContentAfterTheMagicIsAccepted) {
  Bytes bytes(kRecordsAt, 0);  // grid 0 x 0: L = 4
  bytes[0] = '%', bytes[1] = 'C', bytes[2] = 'D', bytes[3] = 'B';
  WriteDatabase(bytes);
  ASSERT_TRUE(SplitAll());
  EXPECT_EQ(Read(ff01_).size(), 4u);
  EXPECT_EQ(Read(ff02_).size(), kRecordsAt - 48);
}

TEST_F(SplitTest, ADeviceFileThatCannotBeReplacedFailsWithTheSystemText) {
  WriteDatabase(Database(1));
  fs::create_directories(folder_ / "FF01.bin" / "in-the-way");
  ASSERT_TRUE(splitter_.SplitHeader(db_, true, ff00_));
  auto result = splitter_.SplitIndex(db_, true, ff01_);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Err().code, ErrorCode::kIo);
  ASSERT_NE(result.Err().systemCode, 0);
  EXPECT_NE(result.Err().message.find("FF01.bin"), std::string::npos) << result.Err().message;
  EXPECT_NE(result.Err().message.find(SystemErrorText(result.Err().systemCode)), std::string::npos)
      << result.Err().message;
  // No temporary file stays behind.
  EXPECT_EQ(FolderNames(), (std::set<std::string>{"ULDB.bin", "FF00.bin", "FF01.bin"}));
}

TEST_F(SplitTest, AMissingOutputFolderFailsWithTheSystemTextForTheFile) {
  WriteDatabase(Database(1));
  DatabaseSplitter splitter(folder_ / "absent");
  auto result = splitter.SplitHeader(db_, true, ff00_);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Err().code, ErrorCode::kIo);
  ASSERT_NE(result.Err().systemCode, 0);
  EXPECT_EQ(result.Err().message, "creating " + (folder_ / "absent" / "FF00.bin").string() + ": " +
                                      SystemErrorText(result.Err().systemCode));
  EXPECT_EQ(FolderNames(), std::set<std::string>{"ULDB.bin"});
}

}  // namespace
}  // namespace mzt
