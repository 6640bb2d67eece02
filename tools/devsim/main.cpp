// mzt-devsim: the simulated device as a program (see --help).

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/ModuleVersion.h"
#include "common/Timing.h"
#include "devsim/CommandLine.h"
#include "devsim/ReplayDevice.h"
#include "devsim/SignalWaiter.h"

namespace {

using namespace mzt;
using namespace mzt::devsim;

void LogLine(const std::string& line) {
  static const auto start = std::chrono::steady_clock::now();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "[devsim %9.3f] %s\n", seconds, line.c_str());
}

// Starts the device and prints its port's path, the line the tests wait for.
template <class Device>
bool StartAndAnnounce(Device& device) {
  auto path = device.Start();
  if (!path) {
    std::fprintf(stderr, "mzt-devsim: %s\n", path.Err().message.c_str());
    return false;
  }
  std::printf("%s\n", path.Value().c_str());
  std::fflush(stdout);
  return true;
}

// The device side of a recording; 3 when the program did not do what it did then.
int Replay(const ProgramSettings& settings) {
  auto session = ReadSession(settings.replay);
  if (!session) {
    std::fprintf(stderr, "mzt-devsim: %s\n", session.Err().message.c_str());
    return 2;
  }
  ReplayDevice::Options options;
  options.linkPath = settings.device.linkPath;
  options.sysfsRoot = settings.device.sysfsRoot;
  options.ttyName = settings.device.ttyName;
  options.pauseScale = TimeScale() / session.Value().timeScale;
  options.log = settings.device.log;
  // A failed replay ends the program, as a termination request would.
  options.ended = [] { kill(getpid(), SIGTERM); };
  SignalWaiter signals({SIGINT, SIGTERM});
  ReplayDevice device(std::move(session).Value(), options);
  if (!StartAndAnnounce(device)) return 1;
  signals.Wait();
  device.Stop();
  if (device.Failure().empty()) return 0;
  std::fprintf(stderr, "mzt-devsim: replay: %s\n", device.Failure().c_str());
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  InitTimingFromEnvironment();
  std::vector<std::string> args(argv + 1, argv + argc);
  auto parsed = ParseCommandLine(args, TimeScale());
  if (!parsed) {
    std::fprintf(stderr, "mzt-devsim: %s\n", parsed.Err().message.c_str());
    return 2;
  }
  ProgramSettings settings = std::move(parsed).Value();
  if (settings.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (settings.version) {
    std::printf("mzt-devsim (%s)\n", ProgramTitle().c_str());
    return 0;
  }
  if (!settings.poiCsv.empty()) {
    auto pois = LoadPoiCsv(settings.poiCsv);
    if (!pois) {
      std::fprintf(stderr, "mzt-devsim: %s\n", pois.Err().message.c_str());
      return 2;
    }
    settings.device.pois = std::move(pois).Value();
  }
  if (settings.verbose) settings.device.log = LogLine;
  if (!settings.replay.empty()) return Replay(settings);

  // Before the device thread starts, so that it inherits the blocked set.
  SignalWaiter signals({SIGINT, SIGTERM, SIGUSR1, SIGUSR2});
  SimulatedDevice device(settings.device);
  if (!StartAndAnnounce(device)) return 1;

  for (;;) {
    int signal = signals.Wait();
    if (signal == SIGUSR1) {
      device.Unplug(settings.replugDelay);
    } else if (signal == SIGUSR2) {
      auto again = device.Replug();
      if (!again) std::fprintf(stderr, "mzt-devsim: %s\n", again.Err().message.c_str());
    } else {
      break;
    }
  }
  device.Stop();
  return 0;
}
