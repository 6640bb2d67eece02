// What a file transfer costs per data frame against a device that answers at
// once: the program's own pauses (10 ms before each chunk and 10 ms before
// each write) should be all there is.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "devicelink/DevicePort.h"
#include "devsim/SimulatedDevice.h"

namespace {

namespace fs = std::filesystem;

void BM_TransferPerFrame(benchmark::State& state) {
  const int chunk = static_cast<int>(state.range(0));
  const int frames = 40;
  fs::path folder = fs::temp_directory_path() / "mzt-transfer-bench";
  fs::create_directories(folder);
  fs::path file = folder / "FF02.bin";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string bytes(static_cast<size_t>(chunk) * frames, '\x5A');
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  mzt::devsim::SimulatedDevice::Options options;
  options.uploadModeAtStart = true;
  options.record = false;
  mzt::devsim::SimulatedDevice device(options);
  auto path = device.Start();
  mzt::CDevicePort port;
  if (!path || !port.OpenPort(path.Value())) {
    state.SkipWithError("no simulated device");
    return;
  }
  port.SetChunkSize(chunk);
  for (auto _ : state) {
    if (!port.SendFile(file.string())) state.SkipWithError("transfer failed");
  }
  // Seconds per frame ("20m" reads 20 ms).
  state.counters["per_frame"] = benchmark::Counter(
      static_cast<double>(frames) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(state.iterations() * chunk * frames);
  port.ClosePort();
  device.Stop();
  fs::remove_all(folder);
}
BENCHMARK(BM_TransferPerFrame)->Arg(8192)->Arg(11264)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
