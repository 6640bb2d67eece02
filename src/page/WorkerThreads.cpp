#include "page/WorkerThreads.h"

namespace mzt {

void WorkerThreads::Start(std::function<void()> body) {
  std::lock_guard lock(mutex_);
  ReapFinished();
  workers_.emplace_back();
  Worker* worker = &workers_.back();
  ++running_;
  worker->thread = std::thread([this, worker, body = std::move(body)]() mutable {
    body();
    // What the body held (a flow's work folder) is let go before the
    // worker counts as ended, so that an idle page holds nothing.
    body = nullptr;
    std::lock_guard doneLock(mutex_);
    worker->done = true;
    --running_;
    changed_.notify_all();
  });
}

void WorkerThreads::ReapFinished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done) {
      it->thread.join();  // it has left its body: this returns at once
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void WorkerThreads::WaitIdle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return running_ == 0; });
  ReapFinished();
}

bool WorkerThreads::AnyRunning() {
  std::lock_guard lock(mutex_);
  return running_ > 0;
}

void WorkerThreads::JoinAll() {
  // A worker may start another (the rerun after a replug): repeat until none is left.
  for (;;) {
    std::list<Worker> all;
    {
      std::lock_guard lock(mutex_);
      all.swap(workers_);
    }
    if (all.empty()) return;
    for (auto& worker : all)
      if (worker.thread.joinable()) worker.thread.join();
  }
}

}  // namespace mzt
