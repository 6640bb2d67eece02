#include "shell/UsbReplugDialog.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>

#include "shell/ProgramIcon.h"
#include "shell/WindowTexts.h"

namespace mzt {

// Template 141: 103 x 19 dialog units; OK (hidden, disabled), the hidden
// hint 1121 and the prompt 1134.
UsbReplugDialog::UsbReplugDialog(wxWindow* parent, std::shared_ptr<std::atomic<bool>> cancelled)
    : wxDialog(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
               wxSTAY_ON_TOP | wxBORDER_RAISED),
      cancelled_(std::move(cancelled)) {
  SetIcons(ProgramIcons());
  SetClientSize(ConvertDialogToPixels(wxSize(103, 19)));
  auto* ok = new wxButton(this, wxID_OK, "OK", wxPoint(0, 0), ConvertDialogToPixels(wxSize(91, 19)));
  ok->Disable();
  ok->Hide();
  auto* hint = new wxStaticText(this, 1121, shell_texts::kReplugHint, wxPoint(0, 0),
                                ConvertDialogToPixels(wxSize(98, 8)));
  hint->Hide();
  prompt_ = new CColorFontStatic(this, 1134, wxPoint(0, 0), ConvertDialogToPixels(wxSize(103, 17)));
  ShowPrompt(ReplugWatcher::UnplugPrompt());
  // 18 points need more room than the template's 17 units give.
  wxClientDC dc(prompt_);
  dc.SetFont(prompt_->PaintFont());
  wxSize needed = dc.GetTextExtent(prompt_->GetLabel());
  wxSize client = GetClientSize();
  client.IncTo(wxSize(needed.x + 8, needed.y + 4));
  SetClientSize(client);
  prompt_->SetSize(client);
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE)
      *cancelled_ = true;
    else
      event.Skip();
  });
  Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent& event) {
    if (event.CanVeto()) event.Veto();
  });
  CentreOnParent();
}

void UsbReplugDialog::ShowPrompt(const ReplugPrompt& prompt) {
  prompt_->SetTextColor(wxColour(static_cast<unsigned char>(prompt.red),
                                 static_cast<unsigned char>(prompt.green),
                                 static_cast<unsigned char>(prompt.blue)))
      .SetFontSize(prompt.points)
      .SetText(prompt.text);
}

}  // namespace mzt
