#include "uikit/TestHookChannel.h"

#include <cstdlib>
#include <iostream>
#include <thread>

namespace mzt {

bool TestHookChannel::Enabled() {
  const char* value = std::getenv("MZT_UI_TEST_HOOK");
  return value && std::string(value) == "1";
}

TestHookChannel::TestHookChannel(Handler handler) {
  state_->handler = std::move(handler);
  // Blocked in a read of standard input until the test writes or closes it;
  // it owns only the shared state, so it may outlive the window.
  std::thread(Serve, state_).detach();
}

TestHookChannel::~TestHookChannel() {
  std::lock_guard lock(state_->mutex);
  state_->handler = nullptr;
}

TestHookChannel::Printer TestHookChannel::LinePrinter() const {
  return [state = state_](const std::string& line) { state->Print(line); };
}

void TestHookChannel::State::Print(const std::string& line) {
  std::lock_guard lock(outputMutex);
  std::cout << line << std::endl;
}

void TestHookChannel::Serve(std::shared_ptr<State> state) {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a Windows pipe's line end
    std::string answer;
    {
      std::lock_guard lock(state->mutex);
      if (!state->handler) return;
      answer = state->handler(line);
    }
    state->Print(answer);
  }
}

}  // namespace mzt
