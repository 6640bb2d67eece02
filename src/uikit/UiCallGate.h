#pragma once
// Runs work on the UI thread for any thread. A call from the UI thread runs
// at once; a call from another thread is posted to the UI thread and the
// caller waits for its result. Shutdown answers every waiting caller, and
// every later one, with the answer it gave for that case, so that the UI
// thread may join the workers without a deadlock.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace mzt {

class UiCallGate {
 public:
  // Queues a task for the UI thread; must be callable from any thread.
  using Poster = std::function<void(std::function<void()>)>;

  // Made on the UI thread.
  explicit UiCallGate(Poster post);

  bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

  template <class T>
  T Call(std::function<T()> body, T answerAfterShutdown);
  void Call(const std::function<void()>& body);
  // Queues without waiting; dropped after shutdown.
  void Post(std::function<void()> body);

  void Shutdown();
  bool IsShutDown() const;

 private:
  struct Core {
    std::mutex mutex;
    std::condition_variable changed;
    bool shutdown = false;
  };

  Poster post_;
  std::thread::id uiThread_;
  std::shared_ptr<Core> core_ = std::make_shared<Core>();
};

template <class T>
T UiCallGate::Call(std::function<T()> body, T answerAfterShutdown) {
  if (OnUiThread()) return body();
  // Only the shared core is touched after the post: the gate may go while
  // a caller is being woken by the shutdown.
  auto core = core_;
  auto result = std::make_shared<std::optional<T>>();
  {
    std::lock_guard lock(core->mutex);
    if (core->shutdown) return answerAfterShutdown;
  }
  post_([core, result, body = std::move(body)] {
    {
      std::lock_guard lock(core->mutex);
      if (core->shutdown) return;
    }
    T value = body();
    {
      std::lock_guard lock(core->mutex);
      *result = std::move(value);
    }
    core->changed.notify_all();
  });
  std::unique_lock lock(core->mutex);
  core->changed.wait(lock, [&] { return result->has_value() || core->shutdown; });
  return result->has_value() ? **result : answerAfterShutdown;
}

}  // namespace mzt
