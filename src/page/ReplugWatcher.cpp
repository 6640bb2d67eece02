#include "page/ReplugWatcher.h"

#include "common/Timing.h"
#include "devicelink/PortDiscovery.h"

namespace mzt {

ReplugWatcher::ReplugWatcher(Probes probes, IClock& clock)
    : probes_(std::move(probes)), clock_(clock) {}

ReplugWatcher::Phase ReplugWatcher::Tick() {
  switch (phase_) {
    case Phase::kWaitingForUnplug:
      // An unplug that came and went while the flow was busy elsewhere has
      // been seen too late to watch, but it did happen.
      if (probes_.isGone() || (probes_.wasReplugged && probes_.wasReplugged())) {
        phase_ = Phase::kWaitingForPlug;
        clock_.Sleep(Duration(Delay::kReplugGonePause));
      }
      break;
    case Phase::kWaitingForPlug:
      if (promptPending_) {
        prompt_ = PlugPrompt();
        promptPending_ = false;
        promptChanged_ = true;
      }
      if (probes_.isPresent()) {
        // Give the device time to settle before the port is opened again.
        clock_.Sleep(Duration(Delay::kReplugPresentPause));
        clock_.Sleep(Duration(Delay::kReplugPresentPause));
        phase_ = Phase::kDone;
      }
      break;
    case Phase::kDone:
      break;
  }
  return phase_;
}

ReplugWatcher::Probes ReplugProbesFor(const std::optional<UsbSerialPort>& opened) {
  if (!opened || (opened->serialNumber.empty() && opened->busPath.empty()))
    return {IsUsbSerialDeviceGone, IsUsbSerialDevicePresent};
  UsbSerialPort known = *opened;
  return {[known] { return !FindUsbSerialPort(known); },
          [known] { return FindUsbSerialPort(known).has_value(); },
          [known] {
            auto now = FindUsbSerialPort(known);
            return now && !known.attachment.empty() && now->attachment != known.attachment;
          }};
}

bool ReplugWatcher::TakePromptChange() {
  bool changed = promptChanged_;
  promptChanged_ = false;
  return changed;
}

ReplugOutcome RunReplugWatcher(ReplugWatcher& watcher, IClock& clock,
                               const std::function<bool()>& cancelled,
                               const std::function<void(const ReplugPrompt&)>& onPrompt,
                               std::chrono::milliseconds phaseLimit) {
  auto phaseStart = clock.Now();
  auto phase = watcher.CurrentPhase();
  for (;;) {
    if (watcher.TakePromptChange() && onPrompt) onPrompt(watcher.Prompt());
    if (cancelled && cancelled()) return ReplugOutcome::kCancelled;
    if (phaseLimit.count() > 0 && clock.Now() - phaseStart > phaseLimit)
      return ReplugOutcome::kTimedOut;
    clock.Sleep(Duration(Delay::kReplugTick));
    auto now = watcher.Tick();
    if (watcher.TakePromptChange() && onPrompt) onPrompt(watcher.Prompt());
    if (now == ReplugWatcher::Phase::kDone) return ReplugOutcome::kOk;
    if (now != phase) {
      phase = now;
      phaseStart = clock.Now();
    }
  }
}

}  // namespace mzt
