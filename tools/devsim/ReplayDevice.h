#pragma once
// The device side of a recorded session (`mzt-devsim --replay FILE`): on a
// pty, with the link and the fake sysfs entry of the simulated device, it
// waits for each write the recording has, answers as the recording
// answered, with the recorded pauses scaled, and unplugs where the recording
// unplugged. A write that differs from the recording's ends the replay with
// the position and both sides.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common/Result.h"
#include "devsim/FakeSysfs.h"
#include "devsim/PortLink.h"
#include "devsim/Pty.h"
#include "devsim/Wakeup.h"
#include "recording/SessionFile.h"

namespace mzt::devsim {

class ReplayDevice {
 public:
  struct Options {
    std::filesystem::path linkPath;   // empty for none
    std::filesystem::path sysfsRoot;  // empty for none
    std::string ttyName = "ttyACM0";
    // Recorded pauses are multiplied by this (this run's time scale over the recording's).
    double pauseScale = 1.0;
    std::function<void(const std::string&)> log;
    std::function<void()> ended;  // called on the device's thread once the replay ended badly
  };

  ReplayDevice(RecordedSession session, Options options);
  ~ReplayDevice();
  ReplayDevice(const ReplayDevice&) = delete;
  ReplayDevice& operator=(const ReplayDevice&) = delete;

  // Plugs in and starts; answers the pty slave's path.
  Result<std::string> Start();
  void Stop();

  // Why the replay failed; empty while it agrees. After Stop, a replay
  // whose recording has writes left over failed too.
  std::string Failure() const;

 private:
  void Run(std::stop_token stop);
  Result<std::string> Plug();
  void Unplug();
  // Reads the program's next write as the recording's line says it is.
  bool Receive(const SessionLine& line, std::stop_token stop);
  void Fail(const std::string& why);
  void Log(const std::string& line) const;
  bool Pause(std::chrono::steady_clock::time_point until);

  RecordedSession session_;
  Options options_;
  std::unique_ptr<PortLink> link_;
  std::unique_ptr<FakeSysfs> sysfs_;
  Pty pty_;
  Wakeup wakeup_;
  std::string received_;  // bytes read ahead of the line being matched
  size_t cursor_ = 0;     // the line being played
  mutable std::mutex mutex_;
  std::string failure_;
  std::jthread thread_;
};

}  // namespace mzt::devsim
