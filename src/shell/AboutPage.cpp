#include "shell/AboutPage.h"

#include <wx/checkbox.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "common/ModuleVersion.h"
#include "page/PageTexts.h"
#include "platform/ProgramFolder.h"

namespace mzt {

// Template 100: the version text 1118 and the notice below it, 19 dialog
// units in and 12 down; below them the data folder, selectable so that it
// can be copied into a file manager, and the switch that records a session.
// Sizers give each text the room its font needs.
AboutPage::AboutPage(wxWindow* parent, RecordingSwitch& recording) : wxPanel(parent, wxID_ANY) {
  SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
  auto down = [this](int y) { return ConvertDialogToPixels(wxSize(0, y)).y; };
  auto* texts = new wxBoxSizer(wxVERTICAL);
  texts->Add(new wxStaticText(this, kVersionText, wxString::FromUTF8(ProgramTitle()),
                              wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE));
  texts->AddSpacer(down(10));
  texts->Add(new wxStaticText(this, wxID_ANY, L"Copyright (C) 2026 MZT Utility"));
  texts->AddSpacer(down(14));
  texts->Add(new wxStaticText(this, wxID_ANY, TrW(strings::kFoldersLabel)));
  texts->AddSpacer(down(4));
  wxString folders = DataFolder().wstring();
  if (ConfigFolder() != DataFolder()) folders += L"\n" + ConfigFolder().wstring();
  auto* folderText = new wxTextCtrl(this, kFolderText, folders, wxDefaultPosition, wxDefaultSize,
                                    wxTE_READONLY | wxTE_MULTILINE | wxTE_NO_VSCROLL);
  folderText->SetMinSize(ConvertDialogToPixels(wxSize(245, 24)));
  texts->Add(folderText, 0, wxEXPAND);
  texts->AddSpacer(down(6));
  // A session for a problem report, into the data folder (README, "Reporting a problem").
  auto* record = new wxCheckBox(this, kRecordCheck, TrW("Record the session (session-*.jsonl)"));
  record->SetValue(recording.IsOn());
  record->Bind(wxEVT_CHECKBOX, [record, &recording](wxCommandEvent&) {
    if (!record->GetValue()) return recording.TurnOff();
    if (auto on = recording.TurnOn(RecordingSwitch::NewFileIn(DataFolder())); !on) {
      record->SetValue(false);
      wxMessageBox(wxString::FromUTF8(on.Err().message), strings::kAppCaption, wxOK | wxICON_ERROR);
    }
  });
  texts->Add(record);
  auto* page = new wxBoxSizer(wxVERTICAL);
  page->Add(texts, 1, wxEXPAND | wxLEFT | wxRIGHT, ConvertDialogToPixels(wxSize(19, 0)).x);
  page->PrependSpacer(down(12));
  SetSizer(page);
}

}  // namespace mzt
