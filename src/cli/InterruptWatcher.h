#pragma once
// Ctrl-C during a device flow. While the device's database is being
// replaced, the first one only warns and the second stops the change at its
// next frame (the flow then ends on its own); anywhere else, and for a Ctrl-C
// that waited for the change to end, the program stops at once (with success
// once the change is complete). A hang-up, a termination request or a closed
// standard error is a second Ctrl-C.

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "page/PageState.h"

namespace mzt {

class InterruptWatcher {
 public:
  struct Hooks {
    std::function<DeviceChange()> deviceChange;
    std::function<bool(int count)> promptTakes;  // the replug prompt stops by itself
    std::function<void()> stopDeviceChange;       // makes the running change end early
    std::function<void()> removeWorkFiles;
    std::function<void(int status)> beforeExit;  // the program ends with this status now
    std::string recovery;  // how to recover from a device left without a database
  };

  explicit InterruptWatcher(Hooks hooks);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

  // The user stopped a change: the flow is ending early.
  bool Stopping() const { return stopping_; }
  // Ends the watch; after it, Ctrl-C ends the program as usual.
  void Stop();

  static std::string RecoveryText(const std::string& recovery);

 private:
  void Watch(std::stop_token stop, int seen);
  [[noreturn]] void StopAtOnce(DeviceChange change);

  Hooks hooks_;
  std::atomic<bool> stopping_{false};
  std::jthread thread_;
};

}  // namespace mzt
