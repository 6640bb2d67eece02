#pragma once
// "請稍候": a caption and a bar that sweeps while a worker does something of
// unknown length. Topmost, without a close box; the worker closes it.

#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/timer.h>

#include "page/PageTexts.h"
#include "uikit/WaitSweep.h"

namespace mzt {

class WaitDialog : public wxDialog {
 public:
  static constexpr const wchar_t* kCaption = strings::kPleaseWait;
  static constexpr int kBarId = 1045;

  explicit WaitDialog(wxWindow* parent);

 private:
  void OnTick(wxTimerEvent& event);

  wxGauge* bar_;
  wxTimer timer_;
  WaitSweep sweep_;
};

}  // namespace mzt
