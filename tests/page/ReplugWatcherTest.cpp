#include "page/ReplugWatcher.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "common/Timing.h"
#include "support/FakeClock.h"

namespace mzt {
namespace {

class ReplugWatcherTest : public ::testing::Test {
 protected:
  ReplugWatcherTest() : watcher_({[this] { return !attached_; }, [this] { return attached_; }}, clock_) {}

  test::FakeClock clock_;
  bool attached_ = true;
  ReplugWatcher watcher_;
};

// A device still attached keeps the green unplug prompt; once it was gone,
// its return ends the wait after the settling pauses. (Cancel and the phase
// limit are the terminal's: Ctrl-C and the unattended run end its prompt.)
TEST_F(ReplugWatcherTest, GoneThenBackEndsWithOkAfterTheSettlingPauses) {
  const long long tick = Duration(Delay::kReplugTick).count();
  long long backAt = -1;
  clock_.onSleep = [&](std::chrono::milliseconds) {
    long long now = clock_.ElapsedMs();
    if (now >= 50 * tick && attached_ && backAt < 0) attached_ = false;
    if (now >= 60 * tick && !attached_) {
      attached_ = true;
      backAt = now;
    }
  };
  std::vector<std::tuple<std::wstring, unsigned, unsigned>> prompts;
  ReplugOutcome outcome = RunReplugWatcher(
      watcher_, clock_, [] { return false; },
      [&](const ReplugPrompt& prompt) { prompts.emplace_back(prompt.text, prompt.red, prompt.green); });
  EXPECT_EQ(outcome, ReplugOutcome::kOk);
  EXPECT_EQ(prompts, (std::vector<std::tuple<std::wstring, unsigned, unsigned>>{
                         {L"請拔除USB線", 0u, 127u}, {L"請插入USB線", 127u, 0u}}));
  // The next tick, then two settling pauses.
  ASSERT_GE(backAt, 0) << "ended while the device was still attached";
  long long settled = clock_.ElapsedMs() - backAt;
  EXPECT_GE(settled, 2 * Duration(Delay::kReplugPresentPause).count());
  EXPECT_LE(settled, tick + 2 * Duration(Delay::kReplugPresentPause).count());
}

}  // namespace
}  // namespace mzt
