#include "uikit/WaitSweep.h"

namespace mzt {

int WaitSweep::Tick() {
  int bar = position_;
  if (position_ == 130) {
    sweepingDown_ = true;
    sweepingUp_ = false;
  }
  if (position_ == 0) {
    sweepingUp_ = true;
    sweepingDown_ = false;
  }
  if (position_ > kRangeHigh) bar = kRangeHigh;
  if (sweepingDown_) position_ -= 10;
  if (sweepingUp_) position_ += 10;
  return bar;
}

}  // namespace mzt
