#include "common/Timing.h"

#include <algorithm>
#include <iterator>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace mzt {
namespace {

struct DelayRow {
  Delay delay;
  int milliseconds;
};

// Each row names its delay, so a missing or misplaced row fails the build
// instead of reading as 0 ms.
constexpr DelayRow kProduction[] = {
    {Delay::kWritePause, 10},
    {Delay::kWriteDeadline, 1000},
    {Delay::kReaderPoll, 50},
    {Delay::kReaderBackoff, 50},
    {Delay::kReply108, 5000},
    {Delay::kReply109, 2000},
    {Delay::kReply113, 1000},
    {Delay::kReply114, 2000},
    {Delay::kReply995, 1000},
    {Delay::kReply996, 2000},
    {Delay::kReply999Data, 500},
    {Delay::kReply999Control, 2000},
    {Delay::kEnterUploadRetry, 1000},
    {Delay::kChunkPause, 10},
    {Delay::kResendPause, 1000},
    {Delay::kEndTransferPause, 100},
    {Delay::kConnectStart, 1000},
    {Delay::kUploadModeRetry, 1000},
    {Delay::kAfterFirmwareFlags, 100},
    {Delay::kAfterDatabaseVersion, 200},
    {Delay::kFileListingStep, 50},
    {Delay::kAfterHttpResponse, 100},
    {Delay::kBeforeFileUpload, 100},
    {Delay::kReplugClosePause, 100},
    {Delay::kReplugTick, 500},
    {Delay::kReplugGonePause, 1000},
    {Delay::kReplugPresentPause, 500},
    {Delay::kWaitDialogTick, 100},
    {Delay::kPortListPoll, 1000},
    {Delay::kUnattendedReplugPhase, 120000},
    {Delay::kHttpConnectTimeout, 30000},
    {Delay::kHttpLowSpeedTime, 60000},
    {Delay::kHttpAnswerDeadline, 60000},
    {Delay::kHttpDownloadDeadline, 3600000},
    {Delay::kHttpRateGrace, 60000},
    {Delay::kCopyDataRequest, 1000},
    {Delay::kCopyDataAnswer, 5000},
    {Delay::kCopyDataHungWindow, 30000},
    {Delay::kCopyDataPoll, 50},
    {Delay::kCopyDataUiStart, 3000},
    {Delay::kCopyDataRefusal, 500},
};

consteval bool EveryDelayInItsRow() {
  if (std::size(kProduction) != static_cast<size_t>(Delay::kCount)) return false;
  for (size_t i = 0; i < std::size(kProduction); ++i)
    if (static_cast<size_t>(kProduction[i].delay) != i || kProduction[i].milliseconds <= 0) return false;
  return true;
}
static_assert(EveryDelayInItsRow(), "kProduction needs one row per Delay, in the enum's order");

std::atomic<double> g_scale{1.0};

bool IsTimeout(Delay delay) {
  return delay == Delay::kWriteDeadline || delay == Delay::kCopyDataRequest ||
         (delay >= Delay::kReply108 && delay <= Delay::kReply999Control);
}

std::chrono::milliseconds Scaled(double production, bool floored) {
  double ms = production * g_scale.load(std::memory_order_relaxed);
  if (floored && ms < production) ms = std::max(ms, std::min(production, static_cast<double>(kMinScaledReply.count())));
  // A scaled delay never rounds to zero: a zero time-out would turn waits into polls.
  return std::chrono::milliseconds(ms < 1.0 ? 1 : static_cast<long long>(ms + 0.5));
}

}  // namespace

int ProductionMilliseconds(Delay delay) {
  return kProduction[static_cast<size_t>(delay)].milliseconds;
}

std::chrono::milliseconds Duration(Delay delay) {
  return Scaled(ProductionMilliseconds(delay), IsTimeout(delay));
}

std::chrono::milliseconds ScaledTimeout(int productionMilliseconds) {
  return Scaled(productionMilliseconds, true);
}

void SetTimeScale(double scale) {
  g_scale.store(scale > 0.0 ? scale : 1.0, std::memory_order_relaxed);
}

double TimeScale() { return g_scale.load(std::memory_order_relaxed); }

void InitTimingFromEnvironment() {
  if (const char* text = std::getenv("MZT_TIME_SCALE")) {
    char* end = nullptr;
    double scale = std::strtod(text, &end);
    if (end != text && scale > 0.0 && scale <= 1.0) SetTimeScale(scale);
  }
}

void Pause(Delay delay) { std::this_thread::sleep_for(Duration(delay)); }

}  // namespace mzt
