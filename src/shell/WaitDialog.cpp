#include "shell/WaitDialog.h"

#include <wx/sizer.h>

#include "shell/ProgramIcon.h"

namespace mzt {

// Template 131: 175 x 40 dialog units, the bar 1045 at (0,12) 175 x 17.
WaitDialog::WaitDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, kCaption, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSTAY_ON_TOP),
      timer_(this) {
  SetIcons(ProgramIcons());
  SetClientSize(ConvertDialogToPixels(wxSize(175, 40)));
  bar_ = new wxGauge(this, kBarId, WaitSweep::kRangeHigh, ConvertDialogToPixels(wxPoint(0, 12)),
                     ConvertDialogToPixels(wxSize(175, 17)));
  bar_->SetValue(0);
  // A sizer of its own, or the dialog would stretch its only child over it all.
  auto* layout = new wxBoxSizer(wxVERTICAL);
  layout->AddSpacer(ConvertDialogToPixels(wxSize(0, 12)).y);
  layout->Add(bar_);
  SetSizer(layout);
  bar_->SetMinSize(ConvertDialogToPixels(wxSize(175, 17)));
  Bind(wxEVT_TIMER, &WaitDialog::OnTick, this);
  // Closing is the worker's business, not the user's.
  Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent& event) {
    if (event.CanVeto()) event.Veto();
  });
  // The window manager may offer a minimise button all the same (openbox
  // does); minimised, the dialog would leave a locked window with no word
  // of what it waits for, so it comes straight back.
  Bind(wxEVT_ICONIZE, [this](wxIconizeEvent& event) {
    if (event.IsIconized()) CallAfter([this] { Iconize(false); });
    event.Skip();
  });
  Bind(wxEVT_CHAR_HOOK, [](wxKeyEvent& event) {
    if (event.GetKeyCode() != WXK_ESCAPE) event.Skip();
  });
  CentreOnParent();
  timer_.Start(WaitSweep::TickMilliseconds());
}

void WaitDialog::OnTick(wxTimerEvent&) { bar_->SetValue(sweep_.Tick()); }

}  // namespace mzt
