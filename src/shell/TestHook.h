#pragma once
// Drives the window from a test when MZT_UI_TEST_HOOK=1: one command a line
// on standard input, one answer a line on standard output, and a line for
// each message box as it opens ("message<TAB>caption<TAB>text<TAB>ok|yesno"). Commands:
//   title | tabs | tab N | click ID | text ID | enabled ID | idle | close
//   | answer ok|yes|no|escape|close (escape and close end the box as the
//   Escape key and the window manager's close box do)
//   | list ID (a drop-down's selection and entries as shown) | select ID N
//   | popup ID 1|0 (opens or closes a drop-down) | window | iconize
//   | bar (the wait dialog's bar position, "none" without the dialog)
//   | stall (the longest UI-thread stall in ms since the last asking, with
//   MZT_UI_STALL_METER=1; "off" without)
// Without the variable nothing reads standard input.

#include <string>

#include "uikit/TestHookChannel.h"

namespace mzt {

class MainSheet;
class StallMeter;

class TestHook {
 public:
  static bool Enabled() { return TestHookChannel::Enabled(); }

  // Serves commands until destroyed; a command in flight ends first.
  // `stallMeter` may be null; it outlives the hook.
  TestHook(MainSheet& sheet, StallMeter* stallMeter);

 private:
  static std::string Run(MainSheet& sheet, StallMeter* stallMeter, const std::string& command);

  TestHookChannel channel_;
};

}  // namespace mzt
