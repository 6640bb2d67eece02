// The desktop program's toolkit-free parts: the wait bar's sweep and the
// gate that runs surface calls on the UI thread.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "shell/UiCallGate.h"
#include "shell/WaitSweep.h"

namespace mzt {
namespace {

TEST(WaitSweepTest, FillsHoldsFullEmptiesAndStartsAgain) {
  // One tick every 100 ms: 0..90, seven ticks at 100, 90..10, then 0 on the
  // 27th tick, where the next cycle starts.
  const std::vector<int> expected = {0,   10,  20,  30,  40, 50, 60, 70, 80, 90, 100, 100, 100,
                                     100, 100, 100, 100, 90, 80, 70, 60, 50, 40, 30,  20,  10};
  WaitSweep sweep;
  for (int cycle = 0; cycle < 2; ++cycle)
    for (size_t tick = 0; tick < expected.size(); ++tick)
      EXPECT_EQ(sweep.Tick(), expected[tick]) << "cycle " << cycle << ", tick " << tick + 1;
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
