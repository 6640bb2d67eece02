#pragma once
// What every flow of the page works with: the device through the sheet, the
// window's controls, the report by meaning and the state the flows share.

#include <string>

#include "page/ControlSurface.h"
#include "page/FlowReport.h"
#include "page/PageState.h"

namespace mzt {

class CMZTUtilitySheet;

struct FlowContext {
  CMZTUtilitySheet& sheet;
  IControlSurface& surface;
  IFlowReport& report;
  PageState& state;

  // A message the user acknowledges.
  void Say(const std::wstring& text, const std::wstring& caption) const {
    report.Ask(text, caption, MessageButtons::kOk);
  }
};

}  // namespace mzt
