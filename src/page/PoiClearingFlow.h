#pragma once
// The clearing of the device's POIs, which cannot be undone: they are saved
// to "POI.csv" first. The device stays connected afterwards.

#include "page/FlowContext.h"
#include "page/PageLock.h"

namespace mzt {

// The user's confirmation, asked before the device is touched.
bool ConfirmPoiClearing(const FlowContext& context);
FlowEnd RunPoiClearing(const FlowContext& context);

}  // namespace mzt
