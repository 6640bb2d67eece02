#include "page/ReplugWatcher.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/Timing.h"
#include "support/FakeClock.h"

namespace mzt {
namespace {

class ReplugWatcherTest : public ::testing::Test {
 protected:
  ReplugWatcherTest() : watcher_({[this] { return !attached_; }, [this] { return attached_; }}, clock_) {}

  std::vector<std::wstring> Run(std::chrono::milliseconds limit = std::chrono::milliseconds(0),
                                ReplugOutcome* outcome = nullptr) {
    std::vector<std::wstring> prompts;
    ReplugOutcome result = RunReplugWatcher(
        watcher_, clock_, [this] { return cancelled_; },
        [&](const ReplugPrompt& prompt) { prompts.push_back(prompt.text); }, limit);
    if (outcome) *outcome = result;
    return prompts;
  }

  test::FakeClock clock_;
  bool attached_ = true;
  bool cancelled_ = false;
  ReplugWatcher watcher_;
};

TEST_F(ReplugWatcherTest, UnplugThenPlugEndsWithOkAfterTheSettlingPauses) {
  long long backAt = -1;
  clock_.onSleep = [&](std::chrono::milliseconds) {
    long long now = clock_.ElapsedMs();
    if (now >= 3 * Duration(Delay::kReplugTick).count() && attached_ && backAt < 0) attached_ = false;
    if (now >= 10 * Duration(Delay::kReplugTick).count() && !attached_) {
      attached_ = true;
      backAt = now;
    }
  };
  ReplugOutcome outcome;
  auto prompts = Run(std::chrono::milliseconds(0), &outcome);
  EXPECT_EQ(outcome, ReplugOutcome::kOk);
  EXPECT_EQ(prompts, (std::vector<std::wstring>{L"請拔除USB線", L"請插入USB線"}));
  // The next tick, then two settling pauses.
  long long settled = clock_.ElapsedMs() - backAt;
  EXPECT_GE(settled, 2 * Duration(Delay::kReplugPresentPause).count());
  EXPECT_LE(settled, Duration(Delay::kReplugTick).count() + 2 * Duration(Delay::kReplugPresentPause).count());
}

TEST_F(ReplugWatcherTest, PresentBeforeGoneDoesNotCount) {
  for (int i = 0; i < 50; ++i) EXPECT_EQ(watcher_.Tick(), ReplugWatcher::Phase::kWaitingForUnplug);
  EXPECT_EQ(watcher_.Prompt().text, L"請拔除USB線");
  EXPECT_EQ(watcher_.Prompt().green, 127u);
  attached_ = false;
  EXPECT_EQ(watcher_.Tick(), ReplugWatcher::Phase::kWaitingForPlug);
  EXPECT_EQ(watcher_.Tick(), ReplugWatcher::Phase::kWaitingForPlug);
  EXPECT_EQ(watcher_.Prompt().red, 127u);
  attached_ = true;
  EXPECT_EQ(watcher_.Tick(), ReplugWatcher::Phase::kDone);
}

TEST_F(ReplugWatcherTest, CancelAndPhaseLimitEndTheWait) {
  cancelled_ = true;
  ReplugOutcome outcome;
  Run(std::chrono::milliseconds(0), &outcome);
  EXPECT_EQ(outcome, ReplugOutcome::kCancelled);

  cancelled_ = false;
  Run(std::chrono::milliseconds(1000), &outcome);  // the device never leaves
  EXPECT_EQ(outcome, ReplugOutcome::kTimedOut);
  EXPECT_GE(clock_.ElapsedMs(), 1000);
}

}  // namespace
}  // namespace mzt
