#pragma once
// The figures of docs/PERFORMANCE.md that a benchmark program measures: each
// benchmark records its figure, and the program prints one line per figure
// after Google Benchmark's table, for scripts/bench.sh to collect:
//   figure<TAB>name<TAB>value<TAB>unit<TAB>target   (target: "<= 1.2", ">= 0.95")

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace mzt::bench {

struct Figure {
  std::string name;
  double value;
  std::string unit;
  std::string target;
};

inline std::vector<Figure>& Figures() {
  static std::vector<Figure> figures;
  return figures;
}

inline void RecordFigure(std::string name, double value, std::string unit, std::string target) {
  Figures().push_back({std::move(name), value, std::move(unit), std::move(target)});
}

// The value below which `fraction` of the samples lie (0.5: the median).
inline double Quantile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return 0.0;
  std::sort(samples.begin(), samples.end());
  size_t at = static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[std::min(at, samples.size() - 1)];
}

inline int RunAndPrintFigures(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const Figure& f : Figures())
    std::printf("figure\t%s\t%.4g\t%s\t%s\n", f.name.c_str(), f.value, f.unit.c_str(),
                f.target.c_str());
  return 0;
}

}  // namespace mzt::bench
