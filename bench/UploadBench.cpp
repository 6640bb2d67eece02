// The upload of a database's three device files (704 KiB in 11264-byte
// frames) into the simulated device on a USB-like link: 800,000 bytes a
// second and 40 ms to store each frame before it is acknowledged.
//
// Two yardsticks, each taken in the same run as the program's own time:
// - the protocol's least time: the prescribed pauses (10 ms before each
//   write, 10 ms before each frame, 100 ms before each end sentence and
//   between the files), every byte at the link's rate and the device's store
//   time per frame. The device takes the first 10 ms worth of bytes after a
//   pause at once (its receive buffer), so that much of each write is free;
// - a reference sender that does nothing but the protocol: the same pauses,
//   blocking writes and reads on the pty, no reader thread, no events.
// Figures: least / actual and reference / actual (target >= 0.95 each).

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Figure.h"
#include "common/Timing.h"
#include "database/DatabaseSplitter.h"
#include "dbgen/SyntheticDatabase.h"
#include "devicelink/Checksum.h"
#include "devicelink/DevicePort.h"
#include "devsim/SimulatedDevice.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kRate = 800000;
constexpr milliseconds kStoreTime{40};
constexpr size_t kChunk = 11264;
constexpr uint64_t kUploadBytes = 704 * 1024;
constexpr int kRounds = 3;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double Ms(mzt::Delay delay) { return mzt::ProductionMilliseconds(delay) / 1000.0; }

struct DeviceFile {
  int id;
  std::vector<uint8_t> bytes;
  fs::path path;
};

std::string Sentence(int mode, int id, size_t length, size_t count) {
  std::string body = "$PQEL999," + std::to_string(mode) + "," + std::to_string(id) + ",";
  body += mode == 1 ? std::to_string(length) + "," + std::to_string(count)
                    : std::string("1,0,0");
  mzt::AppendChecksum(body);
  return body;
}

// What the protocol sends for one file: (pause before, bytes written, frame?).
struct Write {
  double pause;
  size_t bytes;
  bool frame;
};

std::vector<Write> Schedule(const DeviceFile& file) {
  std::vector<Write> writes;
  writes.push_back({Ms(mzt::Delay::kWritePause), Sentence(0, file.id, 1, 0).size(), false});
  const size_t size = file.bytes.size();
  auto group = [&](size_t length, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      double pause = Ms(mzt::Delay::kChunkPause);
      if (i == 0) {
        writes.push_back({pause + Ms(mzt::Delay::kWritePause), Sentence(1, file.id, length, count).size(), false});
        pause = 0;
      }
      writes.push_back({pause + Ms(mzt::Delay::kWritePause), length + 1, true});
    }
  };
  if (size / kChunk > 0) group(kChunk, size / kChunk);
  if (size % kChunk > 0) group(size % kChunk, 1);
  writes.push_back({Ms(mzt::Delay::kEndTransferPause) + Ms(mzt::Delay::kWritePause),
                    Sentence(2, file.id, 1, 0).size(), false});
  return writes;
}

double LeastTime(const std::vector<DeviceFile>& files) {
  const double buffered = kRate / 100.0;  // the device's 10 ms of credit after a pause
  double least = Ms(mzt::Delay::kBeforeFileUpload) * static_cast<double>(files.size() - 1);
  for (const DeviceFile& file : files)
    for (const Write& w : Schedule(file)) {
      least += w.pause + std::max(0.0, static_cast<double>(w.bytes) - buffered) / kRate;
      if (w.frame) least += std::chrono::duration<double>(kStoreTime).count();
    }
  return least;
}

// Nothing but the protocol, on the bare pty.
class ReferenceSender {
 public:
  explicit ReferenceSender(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~ReferenceSender() { close(fd_); }

  bool Send(const DeviceFile& file) {
    if (!Exchange(Sentence(0, file.id, 1, 0))) return false;
    const size_t size = file.bytes.size();
    size_t offset = 0;
    auto group = [&](size_t length, size_t count) {
      for (size_t i = 0; i < count; ++i, offset += length) {
        std::this_thread::sleep_for(milliseconds(mzt::ProductionMilliseconds(mzt::Delay::kChunkPause)));
        if (i == 0 && !Exchange(Sentence(1, file.id, length, count))) return false;
        std::string frame(file.bytes.begin() + static_cast<long>(offset),
                          file.bytes.begin() + static_cast<long>(offset + length));
        frame.push_back(static_cast<char>(mzt::XorBytes(
            std::span(file.bytes.data() + offset, length))));
        if (!Exchange(frame)) return false;
      }
      return true;
    };
    if (size / kChunk > 0 && !group(kChunk, size / kChunk)) return false;
    if (size % kChunk > 0 && !group(size % kChunk, 1)) return false;
    std::this_thread::sleep_for(milliseconds(mzt::ProductionMilliseconds(mzt::Delay::kEndTransferPause)));
    return Exchange(Sentence(2, file.id, 1, 0));
  }

 private:
  // The write pause, the bytes, and the one reply up to its line end.
  bool Exchange(const std::string& bytes) {
    std::this_thread::sleep_for(milliseconds(mzt::ProductionMilliseconds(mzt::Delay::kWritePause)));
    for (size_t done = 0; done < bytes.size();) {
      ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    std::string reply;
    while (reply.size() < 2 || reply.compare(reply.size() - 2, 2, "\r\n") != 0) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 2000) <= 0) return false;
      char buffer[256];
      ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) return false;
      reply.append(buffer, static_cast<size_t>(n));
    }
    return reply.find(",1,") != std::string::npos || reply.starts_with("$LOG999,1");
  }

  int fd_ = -1;
};

std::vector<DeviceFile> MakeDeviceFiles(const fs::path& folder) {
  mzt::dbgen::DatabaseOptions options;
  options.records = mzt::dbgen::RecordsForSize(kUploadBytes, options.gridA, options.gridB);
  mzt::dbgen::SyntheticDatabase db(options);
  fs::path database = folder / "ULDB.bin";
  if (!db.WriteTo(database)) return {};
  mzt::DatabaseSplitter splitter;
  fs::path paths[3];
  if (!splitter.SplitHeader(database, true, paths[0]) ||
      !splitter.SplitIndex(database, true, paths[1]) ||
      !splitter.SplitRecords(database, true, paths[2]))
    return {};
  std::vector<DeviceFile> files;
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> bytes(fs::file_size(paths[i]));
    std::FILE* in = std::fopen(paths[i].c_str(), "rb");
    size_t got = in ? std::fread(bytes.data(), 1, bytes.size(), in) : 0;
    if (in) std::fclose(in);
    if (got != bytes.size()) return {};
    files.push_back({0xFF00 + i, std::move(bytes), paths[i]});
  }
  return files;
}

void BM_UploadAgainstLeastTime(benchmark::State& state) {
  std::string pattern = fs::temp_directory_path() / "mzt-upload-XXXXXX";
  if (!mkdtemp(pattern.data())) return state.SkipWithError("no temporary folder");
  const fs::path folder = pattern;
  const std::vector<DeviceFile> files = MakeDeviceFiles(folder);
  if (files.empty()) return state.SkipWithError("no device files");

  mzt::devsim::SimulatedDevice::Options options;
  options.uploadModeAtStart = true;
  options.record = false;
  options.bytesPerSecond = kRate;
  options.flashTime = kStoreTime;
  mzt::devsim::SimulatedDevice device(options);
  auto path = device.Start();
  if (!path) return state.SkipWithError("no simulated device");

  const double least = LeastTime(files);
  std::vector<double> program, reference;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      {
        mzt::CDevicePort port;
        if (!port.OpenPort(path.Value())) return state.SkipWithError("cannot open the port");
        port.SetChunkSize(static_cast<int>(kChunk));
        auto start = Clock::now();
        for (size_t i = 0; i < files.size(); ++i) {
          if (i > 0) mzt::Pause(mzt::Delay::kBeforeFileUpload);
          if (!port.SendFile(files[i].path.string())) return state.SkipWithError("upload failed");
        }
        program.push_back(Seconds(Clock::now() - start));
        state.SetIterationTime(program.back());
      }
      ReferenceSender sender(path.Value());
      auto start = Clock::now();
      for (size_t i = 0; i < files.size(); ++i) {
        if (i > 0) mzt::Pause(mzt::Delay::kBeforeFileUpload);
        if (!sender.Send(files[i])) return state.SkipWithError("reference upload failed");
      }
      reference.push_back(Seconds(Clock::now() - start));
    }
  }
  device.Stop();
  std::error_code ignored;
  fs::remove_all(folder, ignored);

  double actual = mzt::bench::Quantile(program, 0.5);
  double ref = mzt::bench::Quantile(reference, 0.5);
  state.counters["least_s"] = least;
  state.counters["program_s"] = actual;
  state.counters["reference_s"] = ref;
  mzt::bench::RecordFigure("upload_least_over_actual", least / actual, "x", ">= 0.95");
  mzt::bench::RecordFigure("upload_reference_over_actual", ref / actual, "x", ">= 0.95");
}
BENCHMARK(BM_UploadAgainstLeastTime)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return mzt::bench::RunAndPrintFigures(argc, argv); }
