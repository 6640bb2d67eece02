#pragma once
// The page's worker threads. Starting one never waits for another (a
// finished thread is only reaped); the owner joins them all at the end.

#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace mzt {

class WorkerThreads {
 public:
  ~WorkerThreads() { JoinAll(); }

  void Start(std::function<void()> body);
  // Blocks until no worker runs, including workers started meanwhile.
  void WaitIdle();
  bool AnyRunning();
  void JoinAll();

 private:
  struct Worker {
    std::thread thread;
    bool done = false;
  };
  void ReapFinished();  // joins threads that have already ended; never blocks long

  std::mutex mutex_;
  std::condition_variable changed_;
  std::list<Worker> workers_;
  int running_ = 0;
};

}  // namespace mzt
