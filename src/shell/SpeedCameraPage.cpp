#include "shell/SpeedCameraPage.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "common/Timing.h"
#include "page/ControlIds.h"
#include "page/UploadDBDlg.h"
#include "shell/WindowTexts.h"
#include "shell/WxControlSurface.h"

namespace mzt {
namespace {

using namespace ids;

enum class Kind { kGroup, kButton, kLabel, kReadOnlyEdit, kEdit, kDropDown, kCheck, kProgress };

struct ControlTemplate {
  int id;
  Kind kind;
  const wchar_t* caption;
  int width, height;  // the least size, in dialog units
};

// Template 132's controls with their sizes; the sizers place them, so that
// captions in any font fit.
constexpr ControlTemplate kTemplate[] = {
    {kPortGroup, Kind::kGroup, shell_texts::kPortGroup, 0, 0},
    {kQueryGroup, Kind::kGroup, shell_texts::kQueryGroup, 0, 0},
    {kUpdateGroup, Kind::kGroup, shell_texts::kUpdateGroup, 0, 0},
    {kPortList, Kind::kDropDown, L"", 150, 14},
    {kQueryButton, Kind::kButton, shell_texts::kQueryButton, 50, 14},
    {kDbVersionLabel, Kind::kLabel, shell_texts::kDbVersionLabel, 38, 8},
    {kDbVersionText, Kind::kReadOnlyEdit, L"", 80, 13},
    {kFwVersionLabel, Kind::kLabel, shell_texts::kFwVersionLabel, 38, 8},
    {kFwVersionText, Kind::kReadOnlyEdit, L"", 80, 13},
    {kDbRegionLabel, Kind::kLabel, shell_texts::kDbRegionLabel, 38, 8},
    {kDbRegionText, Kind::kReadOnlyEdit, L"", 80, 13},
    {kClearPoiButton, Kind::kButton, shell_texts::kClearPoiButton, 68, 14},
    {kRegionLabel, Kind::kLabel, shell_texts::kRegionLabel, 92, 8},
    {kRegionList, Kind::kDropDown, L"", 60, 14},
    {kUpdateButton, Kind::kButton, L"", 80, 14},
    {kStatusText, Kind::kReadOnlyEdit, L"", 253, 12},
    {kProgressBar, Kind::kProgress, L"", 253, 9},
    {kProgressText, Kind::kReadOnlyEdit, L"", 253, 12},
};

// Created from the template and kept hidden: nothing the user can reach.
constexpr ControlTemplate kHidden[] = {
    {kUploadButton, Kind::kButton, shell_texts::kUploadButton, 50, 14},
    {kBrowseButton, Kind::kButton, L"...", 20, 14},
    {kDbPathLabel, Kind::kLabel, shell_texts::kDbPathLabel, 40, 8},
    {kDbPathText, Kind::kLabel, L"", 200, 8},
    {kDatabaseCheck, Kind::kCheck, shell_texts::kDatabaseCheck, 68, 10},
    {kCheckDbOnly, Kind::kCheck, shell_texts::kCheckDbOnly, 68, 10},
    {kVoiceBrowseButton, Kind::kButton, L"...", 20, 14},
    {kVoicePathLabel, Kind::kLabel, shell_texts::kVoicePathLabel, 40, 8},
    {kVoicePathText, Kind::kEdit, L"", 170, 12},
    {kDeviceIdLabel, Kind::kLabel, shell_texts::kDeviceIdLabel, 40, 8},
    {kDeviceIdText, Kind::kEdit, L"", 100, 12},
    {kUnusedStatic, Kind::kLabel, L"", 90, 8},
};

wxWindow* MakeControl(wxWindow* parent, const ControlTemplate& t) {
  wxSize size = parent->ConvertDialogToPixels(wxSize(t.width, t.height));
  wxWindow* control = nullptr;
  switch (t.kind) {
    // GTK sets a frame's caption flush with its left edge, where it seems to
    // stick out: a blank either side sets it into the frame's top line.
    case Kind::kGroup: return new wxStaticBox(parent, t.id, wxString(L" ") + t.caption + L" ");
    case Kind::kButton: control = new wxButton(parent, t.id, t.caption); break;
    case Kind::kLabel: control = new wxStaticText(parent, t.id, t.caption); break;
    case Kind::kReadOnlyEdit:
      control = new wxTextCtrl(parent, t.id, t.caption, wxDefaultPosition, wxDefaultSize,
                               wxTE_READONLY);
      break;
    case Kind::kEdit: control = new wxTextCtrl(parent, t.id, t.caption); break;
    case Kind::kDropDown:
      control = new wxComboBox(parent, t.id, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                               nullptr, wxCB_READONLY | wxCB_DROPDOWN);
      break;
    case Kind::kCheck: control = new wxCheckBox(parent, t.id, t.caption); break;
    case Kind::kProgress:
      control = new wxGauge(parent, t.id, 100, wxDefaultPosition, wxDefaultSize,
                            wxGA_HORIZONTAL | wxGA_SMOOTH);
      break;
  }
  // At least the template's size, more where the font or the theme needs it.
  control->SetMinSize(wxSize(std::max(size.x, control->GetBestSize().x),
                             std::max(size.y, control->GetBestSize().y)));
  return control;
}

}  // namespace

SpeedCameraPage::SpeedCameraPage(wxWindow* parent, WxControlSurface& surface)
    : wxPanel(parent, wxID_ANY), portsPoll_(this) {
  // "MS Shell Dlg" is the platform's default GUI font here.
  SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
  auto units = [this](int x) { return ConvertDialogToPixels(wxSize(x, x)).x; };
  auto rows = [this](int y) { return ConvertDialogToPixels(wxSize(y, y)).y; };
  auto find = [](int id) -> const ControlTemplate& {
    return *std::find_if(std::begin(kTemplate), std::end(kTemplate),
                         [id](const ControlTemplate& t) { return t.id == id; });
  };
  // A group's controls are its box's children, so that the box frames them.
  auto group = [&](int id, int orientation) {
    auto* box = static_cast<wxStaticBox*>(MakeControl(this, find(id)));
    surface.AddControl(id, box);
    return new wxStaticBoxSizer(box, orientation);
  };
  auto make = [&](wxStaticBoxSizer* in, int id) {
    wxWindow* control = MakeControl(in->GetStaticBox(), find(id));
    surface.AddControl(id, control);
    return control;
  };
  const int gap = units(5);

  wxStaticBoxSizer* portGroup = group(kPortGroup, wxHORIZONTAL);
  portGroup->Add(make(portGroup, kPortList), 1, wxALL, gap);

  wxStaticBoxSizer* queryGroup = group(kQueryGroup, wxHORIZONTAL);
  auto* versions = new wxFlexGridSizer(3, 2, rows(3), gap);
  for (auto [label, text] : {std::pair{kDbVersionLabel, kDbVersionText},
                             {kFwVersionLabel, kFwVersionText},
                             {kDbRegionLabel, kDbRegionText}}) {
    versions->Add(make(queryGroup, label), 0, wxALIGN_CENTER_VERTICAL);
    versions->Add(make(queryGroup, text), 0, wxALIGN_CENTER_VERTICAL);
  }
  queryGroup->Add(make(queryGroup, kQueryButton), 0, wxALL, gap);
  queryGroup->Add(versions, 0, wxTOP | wxBOTTOM | wxLEFT, gap);
  queryGroup->AddStretchSpacer();
  queryGroup->Add(make(queryGroup, kClearPoiButton), 0, wxALL, gap);

  wxStaticBoxSizer* updateGroup = group(kUpdateGroup, wxVERTICAL);
  auto* choice = new wxBoxSizer(wxHORIZONTAL);
  choice->Add(make(updateGroup, kRegionLabel), 0, wxALIGN_CENTER_VERTICAL);
  choice->Add(make(updateGroup, kRegionList), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, gap);
  choice->AddStretchSpacer();
  choice->Add(make(updateGroup, kUpdateButton), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, gap);
  updateGroup->Add(choice, 0, wxEXPAND | wxALL, gap);
  for (int id : {kStatusText, kProgressBar, kProgressText})
    updateGroup->Add(make(updateGroup, id), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, gap);

  auto* page = new wxBoxSizer(wxVERTICAL);
  page->Add(portGroup, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, units(7));
  page->Add(queryGroup, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, units(7));
  page->Add(updateGroup, 0, wxEXPAND | wxALL, units(7));
  SetSizer(page);

  for (const auto& t : kHidden) {
    wxWindow* control = MakeControl(this, t);
    control->Hide();
    surface.AddControl(t.id, control);
  }
  FindWindow(kDatabaseCheck)->Disable();
}

void SpeedCameraPage::Connect(CUploadDBDlg& page) {
  auto* ports = static_cast<wxComboBox*>(FindWindow(kPortList));
  // The list is filled again each time it opens.
  ports->Bind(wxEVT_COMBOBOX_DROPDOWN, [this, &page](wxCommandEvent&) {
    portsShown_ = true;
    page.OnPortListDropDown();
  });
  ports->Bind(wxEVT_COMBOBOX_CLOSEUP, [this](wxCommandEvent& event) {
    portsShown_ = false;
    event.Skip();
  });
  // A detector plugged in shows up by itself: GTK opens no empty list, and
  // the user would have no way to have it read again.
  Bind(wxEVT_TIMER, [this, ports, &page](wxTimerEvent&) {
    if (!portsShown_ && ports->IsEnabled()) page.OnPortsPoll();
  });
  portsPoll_.Start(static_cast<int>(Duration(Delay::kPortListPoll).count()));
  ports->Bind(wxEVT_COMBOBOX, [&page](wxCommandEvent&) { page.OnPortSelectionChange(); });
  FindWindow(kUpdateButton)->Bind(wxEVT_BUTTON, [&page](wxCommandEvent&) { page.OnUpdateButton(); });
  FindWindow(kQueryButton)->Bind(wxEVT_BUTTON, [&page](wxCommandEvent&) { page.OnQueryButton(); });
  FindWindow(kClearPoiButton)
      ->Bind(wxEVT_BUTTON, [&page](wxCommandEvent&) { page.OnClearPoiButton(); });
}

}  // namespace mzt
