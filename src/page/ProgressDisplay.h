#pragma once
// The page's progress display: bar 1051 and text 1144, for the download and
// for the transfer into the device.

#include <cstdint>
#include <string>

#include "page/ControlSurface.h"

namespace mzt {

// "%.1f KB / %.1f KB" from a total of 1024 bytes on, else "%.1f Bytes / %.1f Bytes".
// A total of 0 is unknown (a download without a Content-Length): "%.1f KB"
// or "%.1f Bytes" of what has come.
std::wstring ProgressText(uint64_t done, uint64_t total);

// Bar range 0..total at position done, and the text; an empty range (an
// empty bar) when the total is unknown.
void ShowProgress(IControlSurface& surface, uint64_t done, uint64_t total);

}  // namespace mzt
