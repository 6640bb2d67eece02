#pragma once
// The please-wait bar's sweep, one timer tick at a time: up in steps of 10,
// held full while the position runs on to 130 and back, then down to 0.

namespace mzt {

class WaitSweep {
 public:
  static constexpr int kTickMilliseconds = 100;
  static constexpr int kRangeHigh = 100;

  // Advances one tick; answers the bar's position to show.
  int Tick();

 private:
  int position_ = 0;
  bool sweepingDown_ = false;
  bool sweepingUp_ = true;
};

}  // namespace mzt
