#pragma once
// Measures how long the UI thread goes without handling events, when
// MZT_UI_STALL_METER=1: a timer due every 10 ms records how late each tick
// comes, which is how long the thread was busy elsewhere. The test hook's
// "stall" command answers the longest lateness since the last asking; at the
// end the longest of all goes to standard error.

#include <chrono>

#include <wx/timer.h>

namespace mzt {

class StallMeter : public wxTimer {
 public:
  static bool Enabled();

  StallMeter();
  ~StallMeter() override;

  // The longest lateness since the last call, in milliseconds; starts anew.
  double TakeLongest();

 private:
  using Clock = std::chrono::steady_clock;
  void Notify() override;

  Clock::time_point last_;
  double longestMs_ = 0.0;
  double longestOverallMs_ = 0.0;
};

}  // namespace mzt
