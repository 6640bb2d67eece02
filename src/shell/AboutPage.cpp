#include "shell/AboutPage.h"

#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "common/ModuleVersion.h"
#include "platform/ProgramFolder.h"

namespace mzt {

// Template 100: the version text 1118 and the notice below it, 19 dialog
// units in and 12 down; below them the data folder, selectable so that it
// can be copied into a file manager. Sizers give each text the room its
// font needs.
AboutPage::AboutPage(wxWindow* parent) : wxPanel(parent, wxID_ANY) {
  SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
  auto down = [this](int y) { return ConvertDialogToPixels(wxSize(0, y)).y; };
  auto* texts = new wxBoxSizer(wxVERTICAL);
  texts->Add(new wxStaticText(this, kVersionText, wxString::FromUTF8(ProgramTitle()),
                              wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE));
  texts->AddSpacer(down(10));
  texts->Add(new wxStaticText(this, wxID_ANY, L"Copyright (C) 2026 MZT Utility"));
  texts->AddSpacer(down(14));
  texts->Add(new wxStaticText(this, wxID_ANY, L"程式檔案資料夾 (POI.csv、MZTConfig.ini):"));
  texts->AddSpacer(down(4));
  wxString folders = DataFolder().wstring();
  if (ConfigFolder() != DataFolder()) folders += L"\n" + ConfigFolder().wstring();
  auto* folderText = new wxTextCtrl(this, kFolderText, folders, wxDefaultPosition, wxDefaultSize,
                                    wxTE_READONLY | wxTE_MULTILINE | wxTE_NO_VSCROLL);
  folderText->SetMinSize(ConvertDialogToPixels(wxSize(245, 24)));
  texts->Add(folderText, 0, wxEXPAND);
  auto* page = new wxBoxSizer(wxVERTICAL);
  page->Add(texts, 1, wxEXPAND | wxLEFT | wxRIGHT, ConvertDialogToPixels(wxSize(19, 0)).x);
  page->PrependSpacer(down(12));
  SetSizer(page);
}

}  // namespace mzt
