#pragma once
// The device's POIs saved to "POI.csv": the steps an update and a clearing
// take first, and the export on its own.

#include <string>

#include "page/FlowContext.h"
#include "page/PageLock.h"

namespace mzt {

// The POI count into state.poiBackup; a refused count (the device does not
// tell 100 or more) is unknown, not 0.
void CountPois(const FlowContext& context);
// The counted POIs appended to "POI.csv", and how that went into state.poiBackup.
void SavePois(const FlowContext& context);
void BackUpPois(const FlowContext& context);
// True when the backup is complete or the user chose to go on without it,
// asked with `question` (what is lost) after what the backup holds.
bool ConfirmIncompleteBackup(const FlowContext& context, const std::wstring& question,
                             MessageButtons buttons);

FlowEnd RunPoiExport(const FlowContext& context);

}  // namespace mzt
