#include "platform/AutoResetEvent.h"

namespace mzt {

void AutoResetEvent::Set() {
  // Notified under the lock: a waiter released by the flag alone may destroy
  // the event as soon as the lock is free.
  std::lock_guard lock(mutex_);
  signalled_ = true;
  changed_.notify_one();
}

void AutoResetEvent::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool AutoResetEvent::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
  signalled_ = false;
  return true;
}

bool AutoResetEvent::IsSet() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

}  // namespace mzt
