#include "database/DatabaseSplitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
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

// Six entries, one a grid cell; `records` records, one in each of the first
// cells. Entry e holds the values e*0x10+1 and e*0x10+2, its record count and
// its record offset (from the file's start, or rebased by 44 + 100 to count
// from the first record); then the trailing value. Each 32-bit word little- or big-endian.
Bytes GridIndex(uint32_t records, bool bigEndian, bool rebased) {
  std::vector<uint32_t> words;
  for (uint32_t e = 0; e < 6; ++e) {
    uint32_t offset = 36 * std::min(e, records) + (rebased ? 0u : static_cast<uint32_t>(kRecordsAt));
    words.insert(words.end(), {e * 16 + 1, e * 16 + 2, e < records ? 1u : 0u, offset});
  }
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
  // Header, index and `records` records.
  Bytes Database(uint32_t records) {
    Bytes bytes = GoldenHeader(false);
    Append(bytes, GridIndex(records, false, false));
    for (uint32_t i = 0; i < records; ++i) Append(bytes, Record(false));
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
// place, index entries swap; without the swap bytes stay. Either way the
// index's record offsets count from the first record.
TEST_F(SplitTest, WritesTheThreeDeviceFilesNextToTheDatabaseInDeviceOrder) {
  test::WriteFileBytes(folder_ / "FF02.bin", std::string(5000, 'x'));  // an earlier split's
  WriteDatabase(Database(2));
  for (bool swap : {true, false}) {
    ASSERT_TRUE(SplitAll(swap));
    EXPECT_EQ(ff00_, folder_ / "FF00.bin");
    EXPECT_EQ(ff01_, folder_ / "FF01.bin");
    EXPECT_EQ(ff02_, folder_ / "FF02.bin");
    EXPECT_EQ(FolderNames(), (std::set<std::string>{"ULDB.bin", "FF00.bin", "FF01.bin", "FF02.bin"}));
    EXPECT_EQ(splitter_.GridA(), 2);
    EXPECT_EQ(splitter_.GridB(), 3);
    // The field tables cover every byte of the header and of a record.
    EXPECT_EQ(Read(ff00_), GoldenHeader(swap));
    EXPECT_EQ(Read(ff01_), GridIndex(2, swap, true));
    Bytes records = Record(swap);
    Append(records, Record(swap));
    EXPECT_EQ(Read(ff02_), records);
  }
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

// A change to the golden file of two records.
using Change = std::function<void(Bytes&)>;

struct RejectedRow {
  std::string name;
  Change change;
  std::string reason;  // a part of the message
};

class RejectedFileTest : public SplitTest, public ::testing::WithParamInterface<RejectedRow> {};

TEST_P(RejectedFileTest, IsAFormatErrorAndWritesNothing) {
  const auto& row = GetParam();
  if (row.change) {
    Bytes bytes = Database(2);
    row.change(bytes);
    WriteDatabase(bytes);
  }
  auto result = splitter_.SplitHeader(db_, true, ff00_);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Err().code, ErrorCode::kFormat);
  EXPECT_NE(result.Err().message.find("ULDB.bin"), std::string::npos) << result.Err().message;
  EXPECT_NE(result.Err().message.find(row.reason), std::string::npos) << result.Err().message;
  EXPECT_EQ(ff00_, folder_ / "FF00.bin");
  EXPECT_FALSE(splitter_.GridA());
  // Nothing written, also by the steps a careless caller runs afterwards.
  auto index = splitter_.SplitIndex(db_, true, ff01_);
  ASSERT_FALSE(index);
  EXPECT_EQ(index.Err().code, ErrorCode::kInvalidArgument);
  EXPECT_FALSE(splitter_.SplitRecords(db_, true, ff02_));
  std::set<std::string> expected;
  if (row.change) expected.insert("ULDB.bin");
  EXPECT_EQ(FolderNames(), expected);
}

Change Resize(size_t size) {
  return [size](Bytes& bytes) { bytes.resize(size, 0); };
}
Change Grow(size_t more) {
  return [more](Bytes& bytes) { bytes.resize(bytes.size() + more, 0); };
}
// Entry `cell`'s 32-bit value at `at` (8 the record count, 12 the offset).
Change SetEntry(size_t cell, size_t at, uint32_t value) {
  return [=](Bytes& bytes) {
    for (size_t i = 0; i < 4; ++i) bytes.at(44 + cell * 16 + at + i) = static_cast<uint8_t>(value >> 8 * i);
  };
}

// Two records end at 144 + 72 = 216.
INSTANTIATE_TEST_SUITE_P(
    Files, RejectedFileTest,
    ::testing::Values(RejectedRow{"Missing", {}, "opening"},
                      RejectedRow{"Empty", Resize(0), "fewer than the 44-byte header"},
                      RejectedRow{"ShortHeader", Resize(43), "fewer than the 44-byte header"},
                      RejectedRow{"MagicEndsIn43", [](Bytes& b) { b[3] = 0x43; }, "no \"%CDB\""},
                      RejectedRow{"OnlyTheHeader", Resize(44), "needs 144 bytes"},
                      RejectedRow{"IndexCutShort", Resize(kRecordsAt - 1), "needs 144 bytes"},
                      // Downloads cut or padded, also by whole records.
                      RejectedRow{"CutInsideARecord", Resize(215), "past the file's end at 215"},
                      RejectedRow{"CutByAWholeRecord", Resize(180), "past the file's end at 180"},
                      RejectedRow{"PaddedByAByte", Grow(1), "padded"},
                      RejectedRow{"PaddedByAWholeRecord", Grow(36), "padded"},
                      RejectedRow{"CellInTheIndex", SetEntry(1, 12, 108), "before the first record"},
                      RejectedRow{"CellPastTheEnd", SetEntry(5, 12, 252), "past the file's end"},
                      RejectedRow{"CellInsideARecord", SetEntry(1, 12, 181), "inside a 36-byte record"}),
    test::RowName());

// A device file that cannot be made, or cannot be replaced, fails with the
// system's text for it and leaves no temporary file behind.
TEST_F(SplitTest, AnUnwritableDeviceFileFailsWithTheSystemText) {
  WriteDatabase(Database(1));
  DatabaseSplitter elsewhere(folder_ / "absent");
  auto missing = elsewhere.SplitHeader(db_, true, ff00_);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Err().code, ErrorCode::kIo);
  ASSERT_NE(missing.Err().systemCode, 0);
  EXPECT_EQ(missing.Err().message, "creating " + (folder_ / "absent" / "FF00.bin").string() + ": " +
                                       SystemErrorText(missing.Err().systemCode));
  EXPECT_EQ(FolderNames(), std::set<std::string>{"ULDB.bin"});

  fs::create_directories(folder_ / "FF01.bin" / "in-the-way");
  ASSERT_TRUE(splitter_.SplitHeader(db_, true, ff00_));
  auto result = splitter_.SplitIndex(db_, true, ff01_);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.Err().code, ErrorCode::kIo);
  ASSERT_NE(result.Err().systemCode, 0);
  EXPECT_NE(result.Err().message.find("FF01.bin"), std::string::npos) << result.Err().message;
  EXPECT_NE(result.Err().message.find(SystemErrorText(result.Err().systemCode)), std::string::npos)
      << result.Err().message;
  EXPECT_EQ(FolderNames(), (std::set<std::string>{"ULDB.bin", "FF00.bin", "FF01.bin"}));
}

}  // namespace
}  // namespace mzt
