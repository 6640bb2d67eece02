// The split of a 64 MiB database into the device files, against `cp` of the
// same file into the same folder in the same run. The split should take no
// more than twice as long as the copy.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "database/DatabaseSplitter.h"
#include "dbgen/SyntheticDatabase.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kDatabaseBytes = uint64_t{64} << 20;

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

BenchFolder& Folder() {
  static BenchFolder folder;
  return folder;
}

void BM_SplitDatabase(benchmark::State& state) {
  const BenchFolder& f = Folder();
  for (auto _ : state) {
    mzt::DatabaseSplitter splitter;
    fs::path ff00, ff01, ff02;
    if (!splitter.SplitHeader(f.database, true, ff00) ||
        !splitter.SplitIndex(f.database, true, ff01) ||
        !splitter.SplitRecords(f.database, true, ff02)) {
      state.SkipWithError("the split failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.size));
}
BENCHMARK(BM_SplitDatabase)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopyWithCp(benchmark::State& state) {
  const BenchFolder& f = Folder();
  std::string command =
      "cp '" + f.database.string() + "' '" + (f.folder / "copy.bin").string() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("cp failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.size));
}
BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints the ratio of the two after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        realMs_[run.run_name.function_name] = run.GetAdjustedRealTime();
  }
  void PrintRatio() const {
    auto split = realMs_.find("BM_SplitDatabase");
    auto copy = realMs_.find("BM_CopyWithCp");
    if (split == realMs_.end() || copy == realMs_.end() || copy->second <= 0) return;
    std::printf("split %.1f ms, cp %.1f ms: split / cp = %.2f (target at most 2)\n",
                split->second, copy->second, split->second / copy->second);
  }

 private:
  std::map<std::string, double> realMs_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio();
  benchmark::Shutdown();
  return 0;
}
