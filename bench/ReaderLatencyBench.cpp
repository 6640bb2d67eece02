// How long a reply takes from its last byte on the wire to its command
// object's event, through the reader thread, framer and receiver.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "devicelink/Checksum.h"
#include "devicelink/DevicePort.h"
#include "devicelink/MztCmd.h"

namespace {

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
  for (auto _ : state) {
    if (write(master, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) break;
    if (!ping.ReplyEvent().Wait(std::chrono::seconds(2))) state.SkipWithError("reply lost");
  }
  port.ClosePort();
  close(keeper);
  close(master);
}
BENCHMARK(BM_ReplyLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
