#include "page/ProgressDisplay.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "page/ControlIds.h"
#include "platform/TextCodec.h"

namespace mzt {

std::wstring ProgressText(uint64_t done, uint64_t total) {
  char text[96];
  if (total == 0) {
    // No Content-Length: the bytes received, as no total is known.
    if (done >= 1024)
      std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(done) / 1024.0);
    else
      std::snprintf(text, sizeof text, "%.1f Bytes", static_cast<double>(done));
  } else if (total >= 1024) {
    std::snprintf(text, sizeof text, "%.1f KB / %.1f KB", static_cast<double>(done) / 1024.0,
                  static_cast<double>(total) / 1024.0);
  } else {
    std::snprintf(text, sizeof text, "%.1f Bytes / %.1f Bytes", static_cast<double>(done),
                  static_cast<double>(total));
  }
  return Utf8ToWide(text);
}

void ShowProgress(IControlSurface& surface, uint64_t done, uint64_t total) {
  auto toInt = [](uint64_t value) { return static_cast<int>(std::min<uint64_t>(value, INT_MAX)); };
  surface.SetProgressRange(ids::kProgressBar, 0, toInt(total));
  surface.SetProgressPosition(ids::kProgressBar, toInt(done));
  surface.SetText(ids::kProgressText, ProgressText(done, total));
}

}  // namespace mzt
