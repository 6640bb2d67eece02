// How long a reply takes from its last byte on the wire to its command
// object's event, through the reader thread, framer and receiver: 10,000
// replies written into a pty one at a time, each timed from the end of its
// write to the wake-up of the thread waiting on the event.
// Figures: the median (target <= 1 ms) and the 99th percentile (<= 5 ms).

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "Figure.h"
#include "devicelink/Checksum.h"
#include "devicelink/DevicePort.h"
#include "devicelink/MztCmd.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kReplies = 10000;

class PingCommand : public mzt::CMZTCmd {
 public:
  PingCommand() : CMZTCmd(109) {}
  bool ParseReply(std::span<const uint8_t>) override {
    ReplyEvent().Set();
    return true;
  }
  mzt::Delay ReplyTimeout() const override { return mzt::Delay::kReply109; }
};

void BM_ReplyLatency(benchmark::State& state) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  grantpt(master);
  unlockpt(master);
  std::string slave = ptsname(master);
  int keeper = open(slave.c_str(), O_RDWR | O_NOCTTY);
  termios tio{};
  tcgetattr(keeper, &tio);
  cfmakeraw(&tio);
  tcsetattr(keeper, TCSANOW, &tio);

  mzt::CDevicePort port;
  PingCommand ping;
  port.Receiver().Attach(ping);
  if (!port.OpenPort(slave)) {
    state.SkipWithError("cannot open the pty");
    return;
  }
  std::string reply = "$LOG109,1";
  mzt::AppendChecksum(reply);
  std::vector<double> micros;
  micros.reserve(kReplies);
  for (auto _ : state) {
    for (int i = 0; i < kReplies; ++i) {
      if (write(master, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) {
        state.SkipWithError("write failed");
        break;
      }
      auto written = Clock::now();
      if (!ping.ReplyEvent().Wait(std::chrono::seconds(2))) {
        state.SkipWithError("reply lost");
        break;
      }
      micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - written).count());
    }
  }
  port.ClosePort();
  close(keeper);
  close(master);
  double median = mzt::bench::Quantile(micros, 0.5);
  double p99 = mzt::bench::Quantile(micros, 0.99);
  state.counters["median_us"] = median;
  state.counters["p99_us"] = p99;
  state.counters["max_us"] = mzt::bench::Quantile(micros, 1.0);
  mzt::bench::RecordFigure("reply_latency_median", median / 1000.0, "ms", "<= 1");
  mzt::bench::RecordFigure("reply_latency_p99", p99 / 1000.0, "ms", "<= 5");
}
BENCHMARK(BM_ReplyLatency)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return mzt::bench::RunAndPrintFigures(argc, argv); }
