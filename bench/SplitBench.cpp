// The split of a 64 MiB database into the device files, against `cp` of the
// same file into the same folder, taken in turns in the same run so that a
// busy machine slows both alike. Both write new files, as the update does.
// Figure: the median of split time / cp time over the rounds (target <= 1.2).

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Figure.h"
#include "database/DatabaseSplitter.h"
#include "dbgen/SyntheticDatabase.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint64_t kDatabaseBytes = uint64_t{64} << 20;
constexpr int kRounds = 7;

struct BenchFolder {
  fs::path folder;
  fs::path database;
  uint64_t size = 0;

  BenchFolder() {
    const char* base = std::getenv("MZT_BENCH_DIR");
    std::string pattern =
        ((base && *base) ? fs::path(base) : fs::temp_directory_path()) / "mzt-split-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    folder = pattern;
    database = folder / "ULDB.bin";
    mzt::dbgen::DatabaseOptions options;
    options.records = mzt::dbgen::RecordsForSize(kDatabaseBytes, options.gridA, options.gridB);
    mzt::dbgen::SyntheticDatabase db(options);
    if (auto written = db.WriteTo(database); !written) {
      std::fprintf(stderr, "%s\n", written.Err().message.c_str());
      std::exit(1);
    }
    size = db.FileSize();
  }
  ~BenchFolder() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_SplitAgainstCp(benchmark::State& state) {
  BenchFolder f;
  const fs::path out = f.folder / "out";
  const fs::path copy = f.folder / "copy.bin";
  const std::string cp = "cp '" + f.database.string() + "' '" + copy.string() + "'";
  std::vector<double> ratios, splitMs, cpMs;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      std::error_code ignored;
      fs::remove(copy, ignored);
      fs::remove_all(out, ignored);
      fs::create_directories(out);

      auto start = Clock::now();
      if (std::system(cp.c_str()) != 0) return state.SkipWithError("cp failed");
      double copied = Seconds(Clock::now() - start);

      start = Clock::now();
      mzt::DatabaseSplitter splitter(out);
      fs::path ff00, ff01, ff02;
      if (!splitter.SplitHeader(f.database, true, ff00) ||
          !splitter.SplitIndex(f.database, true, ff01) ||
          !splitter.SplitRecords(f.database, true, ff02))
        return state.SkipWithError("the split failed");
      double split = Seconds(Clock::now() - start);

      ratios.push_back(split / copied);
      splitMs.push_back(split * 1e3);
      cpMs.push_back(copied * 1e3);
      state.SetIterationTime(split);
    }
  }
  state.counters["split_ms"] = mzt::bench::Quantile(splitMs, 0.5);
  state.counters["cp_ms"] = mzt::bench::Quantile(cpMs, 0.5);
  state.counters["split_over_cp"] = mzt::bench::Quantile(ratios, 0.5);
  state.SetBytesProcessed(static_cast<int64_t>(f.size) * kRounds);
  mzt::bench::RecordFigure("split_over_cp", mzt::bench::Quantile(ratios, 0.5), "x", "<= 1.2");
}
BENCHMARK(BM_SplitAgainstCp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return mzt::bench::RunAndPrintFigures(argc, argv); }
