// The desktop program's toolkit-free parts: the wait bar's sweep and the
// gate that runs surface calls on the UI thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "uikit/UiCallGate.h"
#include "uikit/WaitSweep.h"

namespace mzt {
namespace {

// What the user sees of the please-wait bar over ten seconds: it moves in
// small steps within its range, is seen full for a while, and empties and
// fills again every few seconds without ever resting empty.
TEST(WaitSweepTest, FillsHoldsFullEmptiesAndStartsAgain) {
  WaitSweep sweep;
  int previous = sweep.Tick(), fullRun = 0, longestFull = 0, emptyRun = 0, restarts = 0;
  EXPECT_EQ(previous, 0);
  for (int tick = 1; tick < 10000 / WaitSweep::TickMilliseconds(); ++tick) {
    int bar = sweep.Tick();
    ASSERT_GE(bar, 0) << "tick " << tick;
    ASSERT_LE(bar, WaitSweep::kRangeHigh) << "tick " << tick;
    EXPECT_LE(std::abs(bar - previous), WaitSweep::kRangeHigh / 10) << "tick " << tick;
    fullRun = bar == WaitSweep::kRangeHigh ? fullRun + 1 : 0;
    longestFull = std::max(longestFull, fullRun);
    emptyRun = bar == 0 ? emptyRun + 1 : 0;
    EXPECT_LE(emptyRun, 1) << "tick " << tick;
    if (bar == 0 && previous != 0) ++restarts;
    previous = bar;
  }
  EXPECT_GE(longestFull, 3);
  EXPECT_GE(restarts, 3);
}

// The test's own thread plays the UI thread: it runs the queued tasks when
// the test says so.
class UiCallGateTest : public ::testing::Test {
 protected:
  UiCallGate gate_{[this](std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(task));
    }
    queued_.notify_all();
  }};

  void WaitUntilQueued() {
    std::unique_lock lock(mutex_);
    queued_.wait(lock, [&] { return !queue_.empty(); });
  }
  void RunQueued() {
    std::deque<std::function<void()>> tasks;
    {
      std::lock_guard lock(mutex_);
      tasks.swap(queue_);
    }
    for (auto& task : tasks) task();
  }
  size_t Queued() {
    std::lock_guard lock(mutex_);
    return queue_.size();
  }

  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::function<void()>> queue_;
};

TEST_F(UiCallGateTest, WorkerCallsWaitForTheUiThreadUntilShutdown) {
  std::atomic<bool> returned{false};
  std::thread::id ranOn;
  auto call = [&](int value) {
    return gate_.Call<int>([&, value] { ranOn = std::this_thread::get_id(); return value; }, -1);
  };
  int answer = 0;
  std::thread worker([&] {
    answer = call(42);
    returned = true;
  });
  WaitUntilQueued();
  EXPECT_FALSE(returned);  // the task has not run: the worker still waits
  RunQueued();
  worker.join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // Shutdown answers the waiting call and every later one; queued tasks do nothing.
  ranOn = {};
  worker = std::thread([&] { answer = call(1); });
  WaitUntilQueued();
  gate_.Post([&] { ranOn = std::this_thread::get_id(); });
  gate_.Shutdown();
  worker.join();  // would hang if the waiting call were not answered
  EXPECT_EQ(answer, -1);
  RunQueued();  // the UI thread reaches the stale task later: it does nothing
  EXPECT_EQ(ranOn, std::thread::id());
  answer = 0;
  std::thread([&] { answer = call(1); }).join();
  EXPECT_EQ(answer, -1);
  gate_.Post([&] { ranOn = std::this_thread::get_id(); });  // dropped
  EXPECT_EQ(Queued(), 0u);
}

TEST_F(UiCallGateTest, UiThreadCallRunsAtOnceAndAPostWaits) {
  // Nothing drains the queue here: a posted call would never return.
  EXPECT_EQ(gate_.Call<int>([] { return 7; }, -1), 7);
  bool ran = false;
  gate_.Call([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(Queued(), 0u);
  // A posted task waits for the queue, also on the UI thread.
  gate_.Post([&] { ran = false; });
  EXPECT_TRUE(ran);
  RunQueued();
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace mzt
