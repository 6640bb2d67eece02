#include "cli/ProgressMeter.h"

#include <algorithm>
#include <cstdio>

#include "common/TextFill.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

std::string Amount(double bytes) {
  char text[32];
  if (bytes >= 1024.0 * 1024.0)
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
  else if (bytes >= 1024.0)
    std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
  else
    std::snprintf(text, sizeof text, "%.0f B", bytes);
  return text;
}

}  // namespace

void ProgressMeter::Start(int64_t total, Clock::time_point now) {
  total_ = total;
  done_ = 0;
  start_ = now;
  last_ = now;
}

int ProgressMeter::Percent() const {
  if (total_ <= 0) return 0;
  return static_cast<int>(std::clamp<int64_t>(done_ * 100 / total_, 0, 100));
}

std::string ProgressMeter::Render(int width, bool bytes) const {
  double seconds = std::chrono::duration<double>(last_ - start_).count();
  if (bytes && total_ <= 0) {
    std::string line = Fill(Tr("{1} received"), {Amount(static_cast<double>(done_))});
    if (seconds > 0.2 && done_ > 0) line += "  " + Amount(static_cast<double>(done_) / seconds) + "/s";
    return line;
  }
  int filled = Percent() * width / 100;
  std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(width - filled), '-') + "]";
  char percent[8];
  std::snprintf(percent, sizeof percent, " %3d%%", Percent());
  line += percent;
  if (!bytes) return line;
  line += "  " + Amount(static_cast<double>(done_)) + " / " + Amount(static_cast<double>(total_));
  if (seconds > 0.2 && done_ > 0) {
    double rate = static_cast<double>(done_) / seconds;
    line += "  " + Amount(rate) + "/s";
    auto left = static_cast<long>(static_cast<double>(total_ - done_) / rate + 0.5);
    char eta[32];
    std::snprintf(eta, sizeof eta, "%02ld:%02ld", left / 60, left % 60);
    if (done_ < total_) line += "  " + Fill(Tr("{1} left"), {eta});
  }
  return line;
}

}  // namespace mzt
