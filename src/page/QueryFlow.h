#pragma once
// The query: the firmware, the file table and the database the device
// holds, shown on the page. The device stays connected afterwards.

#include "page/FlowContext.h"
#include "page/PageLock.h"

namespace mzt {

FlowEnd RunQuery(const FlowContext& context);

}  // namespace mzt
