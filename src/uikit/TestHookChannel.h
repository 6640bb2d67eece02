#pragma once
// The test hook's line channel, without a window. With MZT_UI_TEST_HOOK=1 a
// thread reads one command a line from standard input and prints the answer
// that the window's handler gives; other lines (the message boxes) are
// printed whole between them. Without the variable nothing reads standard
// input.

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace mzt {

class TestHookChannel {
 public:
  using Handler = std::function<std::string(const std::string& command)>;
  using Printer = std::function<void(const std::string& line)>;

  static bool Enabled();

  // Starts serving.
  explicit TestHookChannel(Handler handler);
  // Stops serving; a command in flight ends first.
  ~TestHookChannel();
  TestHookChannel(const TestHookChannel&) = delete;
  TestHookChannel& operator=(const TestHookChannel&) = delete;

  // Prints a line of its own; the printer may outlive the channel.
  Printer LinePrinter() const;

 private:
  struct State {
    std::mutex mutex;
    Handler handler;
    std::mutex outputMutex;
    void Print(const std::string& line);
  };
  static void Serve(std::shared_ptr<State> state);

  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace mzt
