#pragma once
// The unplug-and-replug prompt's logic, without its window: first wait until
// the device is seen gone, then until it is seen back. The desktop dialog
// drives it from a timer, the terminal from a loop; both show its prompt.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "page/PageTexts.h"
#include "platform/Clock.h"
#include "platform/DeviceEnumeration.h"

namespace mzt {

struct ReplugPrompt {
  std::wstring text;
  unsigned red = 0, green = 0, blue = 0;
  int points = 18;
};

class ReplugWatcher {
 public:
  enum class Phase { kWaitingForUnplug, kWaitingForPlug, kDone };

  struct Probes {
    std::function<bool()> isGone;
    std::function<bool()> isPresent;
    // The device went and came back before the watch began; none: never known.
    std::function<bool()> wasReplugged{};
  };

  static ReplugPrompt UnplugPrompt() { return {strings::kUnplugUsb, 0, 127, 0}; }
  static ReplugPrompt PlugPrompt() { return {strings::kPlugUsb, 127, 0, 0}; }

  ReplugWatcher(Probes probes, IClock& clock);

  // One timer tick. The pauses after a change of phase block the caller, as
  // the dialog's own thread does.
  Phase Tick();
  Phase CurrentPhase() const { return phase_; }
  const ReplugPrompt& Prompt() const { return prompt_; }
  // True once after the prompt text changed.
  bool TakePromptChange();

 private:
  Probes probes_;
  IClock& clock_;
  Phase phase_ = Phase::kWaitingForUnplug;
  ReplugPrompt prompt_ = UnplugPrompt();
  bool promptPending_ = true;  // the plug-in prompt still has to be shown
  bool promptChanged_ = true;
};

// The probes for the device whose port a flow opened, `opened` as the
// enumeration showed it then: gone and back under any name, found by its
// USB identity; an attachment other than the one the port was opened on
// counts as replugged already. Without an identity, the first USB serial
// device.
ReplugWatcher::Probes ReplugProbesFor(const std::optional<UsbSerialPort>& opened);

// Runs the watcher with its timer until the device is back (OK), `cancelled`
// answers true (Cancel), or a phase lasts longer than `phaseLimit` when one
// is given (Cancel). `onPrompt` sees each new prompt.
enum class ReplugOutcome { kOk, kCancelled, kTimedOut };
ReplugOutcome RunReplugWatcher(ReplugWatcher& watcher, IClock& clock,
                               const std::function<bool()>& cancelled,
                               const std::function<void(const ReplugPrompt&)>& onPrompt,
                               std::chrono::milliseconds phaseLimit = std::chrono::milliseconds(0));

}  // namespace mzt
