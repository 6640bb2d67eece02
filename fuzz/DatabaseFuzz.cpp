// The database check and split on arbitrary files: each step rejects the
// file or writes its device file whole, only into the database's folder,
// and no temporary file is left behind. A file accepted is whole records,
// and the same file cut short or padded, by a byte or a record, is refused.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "FuzzScratch.h"
#include "database/DatabaseLayout.h"
#include "database/DatabaseSplitter.h"
#include "database/ReducedIndex.h"

namespace fs = std::filesystem;

namespace {

void Expect(bool condition) {
  if (!condition) std::abort();
}

// A step's file exists exactly when it succeeded, in the scratch folder.
void ExpectWritten(const mzt::Result<void>& result, const fs::path& out, uint64_t size) {
  Expect(out.parent_path() == mzt::fuzz::ScratchFolder());
  std::error_code missing;
  const uint64_t found = fs::file_size(out, missing);  // one stat answers both
  Expect(!missing == result.Ok());
  if (result.Ok()) Expect(found == size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path& folder = mzt::fuzz::ScratchFolder();
  const fs::path database = folder / "ULDB.bin";
  std::ofstream(database, std::ios::binary).write(reinterpret_cast<const char*>(data),
                                                  static_cast<std::streamsize>(size));
  auto layout = mzt::InspectDatabase(database);

  mzt::DatabaseSplitter splitter;
  fs::path ff00, ff01, ff02;
  auto header = splitter.SplitHeader(database, size % 2 == 0, ff00);
  Expect(header.Ok() == layout.Ok());
  ExpectWritten(header, ff00, mzt::kDatabaseHeaderSize);
  auto index = splitter.SplitIndex(database, true, ff01);
  ExpectWritten(index, ff01, layout ? layout.Value().indexLength : 0);
  auto records = splitter.SplitRecords(database, true, ff02);
  ExpectWritten(records, ff02, layout ? layout.Value().RecordsLength() : 0);
  if (index) {
    const fs::path reduced = folder / "Index.bin";
    auto made = mzt::MakeReducedIndex(ff01, reduced);
    ExpectWritten(made, reduced, (layout.Value().indexLength - 4) / 2 + 4);
  }

  if (layout) {
    Expect(layout.Value().RecordsLength() % 36 == 0);
    for (uint64_t other : {uint64_t{size} - 1, uint64_t{size} - 36, uint64_t{size} + 1, uint64_t{size} + 36}) {
      if (other < mzt::kDatabaseHeaderSize) continue;
      fs::resize_file(database, other);
      Expect(!mzt::InspectDatabase(database));
    }
  }

  static const std::set<fs::path> kAllowed = {"ULDB.bin", "FF00.bin", "FF01.bin", "FF02.bin",
                                              "Index.bin"};
  for (const auto& entry : fs::directory_iterator(folder)) {
    Expect(kAllowed.contains(entry.path().filename()));
    // The next input truncates the database; every step's file must go.
    if (entry.path() != database) fs::remove(entry.path());
  }
  return 0;
}
