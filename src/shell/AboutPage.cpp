#include "shell/AboutPage.h"

#include <wx/checkbox.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "common/ModuleVersion.h"
#include "page/ControlIds.h"
#include "platform/ProgramFolder.h"

namespace mzt {

// Template 100: the version text 1118 at (19,12) 140 x 8 and the notice at
// (19,30) 162 x 8; below them the data folder, selectable so that it can be
// copied into a file manager.
AboutPage::AboutPage(wxWindow* parent, RecordingSwitch& recording) : wxPanel(parent, wxID_ANY) {
  SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
  auto at = [this](int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); };
  auto size = [this](int w, int h) { return ConvertDialogToPixels(wxSize(w, h)); };
  new wxStaticText(this, kVersionText, wxString::FromUTF8(ProgramTitle()), at(19, 12), size(160, 8),
                   wxST_NO_AUTORESIZE);
  new wxStaticText(this, wxID_ANY, L"Copyright (C) 2026 MZT Utility", at(19, 30), size(162, 8),
                   wxST_NO_AUTORESIZE);
  new wxStaticText(this, wxID_ANY, strings::kFoldersLabel, at(19, 52),
                   size(240, 8), wxST_NO_AUTORESIZE);
  wxString folders = DataFolder().wstring();
  if (ConfigFolder() != DataFolder()) folders += L"\n" + ConfigFolder().wstring();
  new wxTextCtrl(this, kFolderText, folders, at(19, 64), size(245, 24),
                 wxTE_READONLY | wxTE_MULTILINE | wxTE_NO_VSCROLL);
  // A session for a problem report, into the data folder (README, "Reporting a problem").
  auto* record = new wxCheckBox(this, kRecordCheck, L"記錄工作階段 (session-*.jsonl)", at(19, 94), size(200, 10));
  record->SetValue(recording.IsOn());
  record->Bind(wxEVT_CHECKBOX, [record, &recording](wxCommandEvent&) {
    if (!record->GetValue()) return recording.TurnOff();
    if (auto on = recording.TurnOn(RecordingSwitch::NewFileIn(DataFolder())); !on) {
      record->SetValue(false);
      wxMessageBox(wxString::FromUTF8(on.Err().message), strings::kAppCaption, wxOK | wxICON_ERROR);
    }
  });
}

}  // namespace mzt
