#include "page/FlowReport.h"

#include "page/ControlIds.h"
#include "page/ProgressDisplay.h"

namespace mzt {

void ControlSurfaceReport::Step(const std::wstring& text) { surface_.SetText(ids::kStatusText, text); }

void ControlSurfaceReport::BeginProgress(ProgressUnit unit, uint64_t total) {
  surface_.SetProgressPosition(ids::kProgressBar, 0);
  // Items fill the bar in percent; bytes set their range with each amount.
  if (unit == ProgressUnit::kItems) surface_.SetProgressRange(ids::kProgressBar, 0, 100);
  else ShowProgress(surface_, 0, total);
}

void ControlSurfaceReport::Progress(ProgressUnit unit, uint64_t done, uint64_t total) {
  if (unit == ProgressUnit::kBytes) return ShowProgress(surface_, done, total);
  surface_.SetProgressPosition(ids::kProgressBar, total == 0 ? 100 : static_cast<int>(done * 100 / total));
}

void ControlSurfaceReport::ClearProgress() {
  surface_.SetProgressPosition(ids::kProgressBar, 0);
  surface_.SetText(ids::kProgressText, L"");
}

MessageAnswer ControlSurfaceReport::Ask(const std::wstring& text, const std::wstring& caption,
                                        MessageButtons buttons) {
  return surface_.ShowMessage(text, caption, buttons);
}

}  // namespace mzt
