#include "cli/InterruptWatcher.h"

#include <chrono>
#include <cstdio>

#include "cli/CommandLine.h"
#include "common/TextFill.h"
#include "page/PageTexts.h"
#include "platform/Terminal.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

// How often a Ctrl-C that waits for the end of a change looks again.
constexpr std::chrono::milliseconds kPendingCheck{100};

// Told when a Ctrl-C waited for the change, which then ended well; the
// device's restart request in the page's own words.
std::string NewDatabaseHeld() {
  return Fill(Tr("the device now holds the new speed-camera database. {1}"), {WideToUtf8(strings::kRestartDevice)});
}

void Tell(const std::string& line) {
  std::fprintf(stderr, "mzt: %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace

InterruptWatcher::InterruptWatcher(Hooks hooks) : hooks_(std::move(hooks)) {
  // Counted before the thread starts: a Ctrl-C that comes first is still seen.
  const int seen = InterruptCount();
  CatchInterrupts(true);
  thread_ = std::jthread([this, seen](std::stop_token stop) { Watch(stop, seen); });
}

InterruptWatcher::~InterruptWatcher() { Stop(); }

void InterruptWatcher::Stop() {
  if (!thread_.joinable()) return;
  thread_.request_stop();
  // Not a full check period later: every command ends through here.
  WakeInterruptWaiter();
  thread_.join();
  CatchInterrupts(false);
}

std::string InterruptWatcher::RecoveryText(const std::string& recovery) {
  return Fill(Tr("the device holds no complete speed-camera database now. To recover: unplug the "
                 "device, plug it in again, then run `{1}` again."),
              {recovery});
}

void InterruptWatcher::Watch(std::stop_token stop, int seen) {
  bool warned = false;
  bool terminated = false;
  while (!stop.stop_requested()) {
    int count = WaitForInterrupt(seen, kPendingCheck);
    bool fresh = count > seen;
    seen = count;
    // A hang-up, a termination request or a closed output counts as the
    // second Ctrl-C: nobody is left to answer a warning.
    if (!terminated && TerminationRequested()) {
      terminated = warned = fresh = true;
    } else if (fresh && hooks_.promptTakes(count)) {
      continue;
    }
    if (stopping_) {
      if (fresh && !terminated) StopAtOnce(DeviceChange::kIncomplete);  // no more waiting for the end
      continue;
    }
    if (!fresh && !warned) continue;
    DeviceChange change = hooks_.deviceChange();
    if (change == DeviceChange::kInProgress) {
      if (!fresh) continue;  // a warned Ctrl-C waits for the end of the change
      if (!warned) {
        warned = true;
        Tell(Tr("the device's database is being replaced: stopping now leaves the device without "
                "a complete database. Press Ctrl-C again to stop anyway."));
        continue;
      }
      stopping_ = true;
      Tell(Tr("stopping..."));
      hooks_.stopDeviceChange();
      continue;
    }
    StopAtOnce(change);
  }
  // The flow ended before the waiting Ctrl-C was acted on.
  if (warned && !stopping_ && hooks_.deviceChange() == DeviceChange::kDone) Tell(NewDatabaseHeld());
}

void InterruptWatcher::StopAtOnce(DeviceChange change) {
  hooks_.removeWorkFiles();
  int status = kExitInterrupted;
  if (change == DeviceChange::kDone) {
    // What the user waited for is there; only the rest of the run is left out.
    Tell(Fill(Tr("stopped; {1}"), {NewDatabaseHeld()}));
    status = kExitSuccess;
  } else if (change == DeviceChange::kInProgress || change == DeviceChange::kIncomplete) {
    Tell(Fill(Tr("stopped; {1}"), {RecoveryText(hooks_.recovery)}));
  } else {
    Tell(Tr("stopped."));
  }
  if (hooks_.beforeExit) hooks_.beforeExit(status);
  ExitNow(status);
}

}  // namespace mzt
