#pragma once
// The please-wait bar's sweep, one timer tick at a time: up in steps of 10,
// held full while the position runs on to 130 and back, then down to 0.

#include "common/Timing.h"

namespace mzt {

class WaitSweep {
 public:
  // The timer's period: the production value, as an animation is no wait
  // for the other side and runs at its own pace in tests too.
  static int TickMilliseconds() { return ProductionMilliseconds(Delay::kWaitDialogTick); }
  static constexpr int kRangeHigh = 100;

  // Advances one tick; answers the bar's position to show.
  int Tick();

 private:
  int position_ = 0;
  bool sweepingDown_ = false;
  bool sweepingUp_ = true;
};

}  // namespace mzt
