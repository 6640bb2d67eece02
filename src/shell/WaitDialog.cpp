#include "shell/WaitDialog.h"

namespace mzt {

// Template 131: 175 x 40 dialog units, the bar 1045 at (0,12) 175 x 17.
WaitDialog::WaitDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, kCaption, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSTAY_ON_TOP),
      timer_(this) {
  SetClientSize(ConvertDialogToPixels(wxSize(175, 40)));
  bar_ = new wxGauge(this, kBarId, WaitSweep::kRangeHigh, ConvertDialogToPixels(wxPoint(0, 12)),
                     ConvertDialogToPixels(wxSize(175, 17)));
  bar_->SetValue(0);
  Bind(wxEVT_TIMER, &WaitDialog::OnTick, this);
  // Closing is the worker's business, not the user's.
  Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent& event) {
    if (event.CanVeto()) event.Veto();
  });
  Bind(wxEVT_CHAR_HOOK, [](wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_ESCAPE) event.Skip();
  });
  CentreOnParent();
  timer_.Start(WaitSweep::kTickMilliseconds);
}

void WaitDialog::OnTick(wxTimerEvent&) { bar_->SetValue(sweep_.Tick()); }

}  // namespace mzt
