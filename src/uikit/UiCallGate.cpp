#include "uikit/UiCallGate.h"

namespace mzt {

UiCallGate::UiCallGate(Poster post)
    : post_(std::move(post)), uiThread_(std::this_thread::get_id()) {}

void UiCallGate::Call(const std::function<void()>& body) {
  Call<bool>(
      [body] {
        body();
        return true;
      },
      false);
}

void UiCallGate::Post(std::function<void()> body) {
  {
    std::lock_guard lock(core_->mutex);
    if (core_->shutdown) return;
  }
  post_([core = core_, body = std::move(body)] {
    {
      std::lock_guard lock(core->mutex);
      if (core->shutdown) return;
    }
    body();
  });
}

void UiCallGate::Shutdown() {
  {
    std::lock_guard lock(core_->mutex);
    core_->shutdown = true;
  }
  core_->changed.notify_all();
}

bool UiCallGate::IsShutDown() const {
  std::lock_guard lock(core_->mutex);
  return core_->shutdown;
}

}  // namespace mzt
