#include "common/Timing.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace mzt {
namespace {

constexpr std::array<int, static_cast<size_t>(Delay::kCount)> kProduction = {
    10,      // kWritePause
    1000,    // kWriteDeadline
    50,      // kReaderPoll
    50,      // kReaderBackoff
    5000,    // kReply108
    2000,    // kReply109
    1000,    // kReply113
    2000,    // kReply114
    1000,    // kReply995
    2000,    // kReply996
    500,     // kReply999Data
    2000,    // kReply999Control
    1000,    // kEnterUploadRetry
    10,      // kChunkPause
    1000,    // kResendPause
    100,     // kEndTransferPause
    1000,    // kConnectStart
    1000,    // kUploadModeRetry
    100,     // kAfterFirmwareFlags
    200,     // kAfterVersionDisplay
    50,      // kFileListingStep
    100,     // kAfterHttpResponse
    100,     // kBeforeFileUpload
    100,     // kReplugClosePause
    500,     // kReplugTick
    1000,    // kReplugGonePause
    500,     // kReplugPresentPause
    100,     // kWaitDialogTick
    1000,    // kPortListPoll
    120000,  // kUnattendedReplugPhase
    30000,   // kHttpConnectTimeout
    60000,   // kHttpLowSpeedTime
    60000,   // kHttpAnswerDeadline
    3600000, // kHttpDownloadDeadline
    60000,   // kHttpRateGrace
};

std::atomic<double> g_scale{1.0};

bool IsTimeout(Delay delay) {
  return delay == Delay::kWriteDeadline ||
         (delay >= Delay::kReply108 && delay <= Delay::kReply999Control);
}

std::chrono::milliseconds Scaled(double production, bool floored) {
  double ms = production * g_scale.load(std::memory_order_relaxed);
  if (floored && ms < production) ms = std::max(ms, std::min(production, static_cast<double>(kMinScaledReply.count())));
  // A scaled delay never rounds to zero: a zero time-out would turn waits into polls.
  return std::chrono::milliseconds(ms < 1.0 ? 1 : static_cast<long long>(ms + 0.5));
}

}  // namespace

int ProductionMilliseconds(Delay delay) { return kProduction[static_cast<size_t>(delay)]; }

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
