#include "page/QueryFlow.h"

#include "common/Timing.h"
#include "page/DeviceReading.h"
#include "page/PageTexts.h"

namespace mzt {

FlowEnd RunQuery(const FlowContext& context) {
  ReadFirmwareFlags(context);
  Pause(Delay::kAfterFirmwareFlags);
  ListDeviceFiles(context);
  const bool shown = ReadAndShowDeviceDatabase(context, false);
  Pause(Delay::kAfterDatabaseVersion);
  return {.outcome = shown ? FlowOutcome::kSuccess : FlowOutcome::kDeviceUnreachable,
          .message = shown ? L"" : strings::kVersionQueryFailed,
          .keepBusy = true};
}

}  // namespace mzt
