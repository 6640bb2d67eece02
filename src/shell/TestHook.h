#pragma once
// Drives the window from a test when MZT_UI_TEST_HOOK=1: one command a line
// on standard input, one answer a line on standard output, and a line for
// each message box as it opens ("message<TAB>caption<TAB>text<TAB>ok|yesno"). Commands:
//   title | tabs | tab N | click ID | text ID | enabled ID | answer ok|yes|no | idle | close
// Without the variable nothing reads standard input.

#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace mzt {

class MainSheet;

class TestHook {
 public:
  static bool Enabled();

  explicit TestHook(MainSheet& sheet);
  // Stops serving commands; a command in flight ends first.
  ~TestHook();

 private:
  struct State {
    std::mutex mutex;
    MainSheet* sheet = nullptr;
    std::mutex outputMutex;
    void Print(const std::string& line);
  };
  static void Serve(std::shared_ptr<State> state);
  static std::string Run(MainSheet& sheet, const std::string& command);

  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace mzt
