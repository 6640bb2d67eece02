#pragma once
// Drives the window from a test when MZT_UI_TEST_HOOK=1: one command a line
// on standard input, one answer a line on standard output, and a line for
// each message box as it opens ("message<TAB>caption<TAB>text<TAB>ok|yesno"). Commands:
//   title | tabs | tab N | click ID | text ID | enabled ID | closebox | replug |
//   answer ok|yes|no | idle | close | fits ID [TEXT] | icon
// (text and fits find the About page's controls once it has been shown).
// Without the variable nothing reads standard input.

#include <string>

#include "uikit/TestHookChannel.h"

namespace mzt {

class MainSheet;

class TestHook {
 public:
  static bool Enabled() { return TestHookChannel::Enabled(); }

  // Serves commands until destroyed; a command in flight ends first.
  explicit TestHook(MainSheet& sheet);

 private:
  static std::string Run(MainSheet& sheet, const std::string& command);

  TestHookChannel channel_;
};

}  // namespace mzt
