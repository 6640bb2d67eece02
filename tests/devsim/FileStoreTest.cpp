#include "devsim/FileStore.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace mzt::devsim {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void Store(FileStore& store, uint16_t id, const std::string& data) {
  store.Begin(id);
  ASSERT_TRUE(store.Append(id, Bytes(data)));
  store.Complete(id);
}

TEST(FileStore, KeepsTableAndFilesAcrossRuns) {
  test::TempFolder folder;
  {
    FileStore store(folder.Path());
    ASSERT_TRUE(store.LoadPersisted());
    Store(store, 0xFF00, std::string("head\0er", 7));
    Store(store, 0xFF01, "index");
    store.Begin(0xFF02);
    ASSERT_TRUE(store.Append(0xFF02, Bytes("part")));
    store.Flush(0xFF02);  // an unplug in the middle of the transfer
  }
  FileStore again(folder.Path());
  auto loaded = again.LoadPersisted();
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(loaded.Value());
  ASSERT_EQ(again.Table().size(), 3u);
  EXPECT_EQ(again.Find(0xFF00)->data, std::string("head\0er", 7));
  EXPECT_EQ(again.Find(0xFF00)->location, 1u);
  EXPECT_EQ(again.Find(0xFF01)->location, 2u);
  EXPECT_EQ(again.Find(0xFF02)->data, "part");
  EXPECT_EQ(again.Find(0xFF02)->location, 0u);
  EXPECT_FALSE(again.Find(0xFF02)->complete);

  ASSERT_TRUE(again.DeleteAt(1));
  EXPECT_FALSE(std::filesystem::exists(folder / "FF00.bin"));
  FileStore third(folder.Path());
  ASSERT_TRUE(third.LoadPersisted());
  EXPECT_EQ(third.Table().size(), 2u);
}

TEST(FileStore, EmptyFolderHoldsNoTable) {
  test::TempFolder folder;
  FileStore store(folder / "new");
  auto loaded = store.LoadPersisted();
  ASSERT_TRUE(loaded);
  EXPECT_FALSE(loaded.Value());
}

TEST(FileStore, DamagedTableIsReported) {
  test::TempFolder folder;
  test::WriteFileBytes(folder / "table.txt", "FF00 one 1\n");
  FileStore store(folder.Path());
  auto loaded = store.LoadPersisted();
  ASSERT_FALSE(loaded);
  EXPECT_EQ(loaded.Err().code, ErrorCode::kFormat);
}

TEST(FileStore, LocationsSkipTheUnplacedAliasAndAreReused) {
  FileStore store;
  for (uint16_t id = 1; id <= 45; ++id) Store(store, id, "x");
  EXPECT_EQ(store.Find(43)->location, 43u);
  EXPECT_EQ(store.Find(44)->location, 45u);  // 44 means "at location 0"
  ASSERT_TRUE(store.DeleteAt(7));
  Store(store, 100, "y");
  EXPECT_EQ(store.Find(100)->location, 7u);
}

TEST(FileStore, StartingAFileAgainReplacesTheOldOne) {
  FileStore store;
  Store(store, 5, "old");
  store.Begin(5);
  ASSERT_EQ(store.Table().size(), 1u);
  EXPECT_TRUE(store.Find(5)->data.empty());
  EXPECT_EQ(store.Find(5)->location, 0u);
}

TEST(FileStore, NothingAtALocationDeletesNothing) {
  FileStore store;
  Store(store, 5, "data");
  EXPECT_FALSE(store.DeleteAt(0));
  EXPECT_FALSE(store.DeleteAt(FileStore::kUnplacedAlias));
  EXPECT_FALSE(store.DeleteAt(9));
  EXPECT_EQ(store.Table().size(), 1u);
}

TEST(FileStore, DatabaseFolderWithoutDeviceFilesIsAnError) {
  test::TempFolder folder;
  FileStore store;
  EXPECT_FALSE(store.LoadDatabaseFolder(folder.Path(), {}));
  test::WriteFileBytes(folder / "FF02.bin", "records");
  ASSERT_TRUE(store.LoadDatabaseFolder(folder.Path(), {}));
  ASSERT_EQ(store.Table().size(), 1u);
  EXPECT_EQ(store.Find(0xFF02)->data, "records");
  EXPECT_EQ(DeviceFileName(0xFF02), "FF02.bin");
}

}  // namespace
}  // namespace mzt::devsim
