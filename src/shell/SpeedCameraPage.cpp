#include "shell/SpeedCameraPage.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "page/ControlIds.h"
#include "page/UploadDBDlg.h"
#include "shell/WxControlSurface.h"

namespace mzt {
namespace {

using namespace ids;

enum class Kind { kGroup, kButton, kLabel, kReadOnlyEdit, kEdit, kDropDown, kCheck, kProgress };

struct ControlTemplate {
  int id;
  Kind kind;
  const wchar_t* caption;
  int x, y, width, height;  // dialog units
  bool shown;
};

// Template 132, 281 x 186 dialog units. Groups come first so that the
// controls inside them are above them.
constexpr ControlTemplate kTemplate[] = {
    {kPortGroup, Kind::kGroup, L"通訊埠設定", 7, 4, 267, 34, true},
    {kQueryGroup, Kind::kGroup, L"版本查詢", 7, 41, 267, 66, true},
    {kUpdateGroup, Kind::kGroup, L"測速照相資料庫更新", 7, 110, 267, 72, true},
    {kPortList, Kind::kDropDown, L"", 15, 17, 150, 14, true},
    {kQueryButton, Kind::kButton, L"查詢", 15, 54, 50, 14, true},
    {kDbVersionLabel, Kind::kLabel, L"DB 版本", 74, 56, 38, 8, true},
    {kDbVersionText, Kind::kReadOnlyEdit, L"", 114, 54, 80, 13, true},
    {kFwVersionLabel, Kind::kLabel, L"FW 版本", 74, 72, 38, 8, true},
    {kFwVersionText, Kind::kReadOnlyEdit, L"", 114, 70, 80, 13, true},
    {kDbRegionLabel, Kind::kLabel, L"DB區域", 74, 88, 38, 8, true},
    {kDbRegionText, Kind::kReadOnlyEdit, L"", 114, 86, 80, 13, true},
    {kClearPoiButton, Kind::kButton, L"清除自訂座標點", 200, 54, 68, 14, true},
    {kRegionLabel, Kind::kLabel, L"測速照相資料庫區域選擇", 15, 124, 92, 8, true},
    {kRegionList, Kind::kDropDown, L"", 110, 121, 60, 14, true},
    {kUpdateButton, Kind::kButton, L"", 188, 121, 80, 14, true},
    {kStatusText, Kind::kReadOnlyEdit, L"", 15, 139, 253, 12, true},
    {kProgressBar, Kind::kProgress, L"", 15, 154, 253, 9, true},
    {kProgressText, Kind::kReadOnlyEdit, L"", 15, 166, 253, 12, true},
    // Created from the template and kept hidden: nothing the user can reach.
    {kUploadButton, Kind::kButton, L"資料庫上傳", 188, 17, 50, 14, false},
    {kBrowseButton, Kind::kButton, L"...", 240, 17, 20, 14, false},
    {kDbPathLabel, Kind::kLabel, L"ＤＢ檔路徑", 15, 186, 40, 8, false},
    {kDbPathText, Kind::kLabel, L"", 60, 186, 200, 8, false},
    {kDatabaseCheck, Kind::kCheck, L"測速照相點資料庫", 200, 72, 68, 10, false},
    {kCheckDbOnly, Kind::kCheck, L"僅檢查DB ", 200, 88, 68, 10, false},
    {kVoiceBrowseButton, Kind::kButton, L"...", 240, 196, 20, 14, false},
    {kVoicePathLabel, Kind::kLabel, L"語音檔路徑", 15, 196, 40, 8, false},
    {kVoicePathText, Kind::kEdit, L"", 60, 196, 170, 12, false},
    {kDeviceIdLabel, Kind::kLabel, L"序號", 15, 206, 40, 8, false},
    {kDeviceIdText, Kind::kEdit, L"", 60, 206, 100, 12, false},
    {kUnusedStatic, Kind::kLabel, L"", 170, 206, 90, 8, false},
};

wxWindow* MakeControl(wxWindow* parent, const ControlTemplate& t) {
  wxPoint position = parent->ConvertDialogToPixels(wxPoint(t.x, t.y));
  wxSize size = parent->ConvertDialogToPixels(wxSize(t.width, t.height));
  switch (t.kind) {
    case Kind::kGroup: return new wxStaticBox(parent, t.id, t.caption, position, size);
    case Kind::kButton: return new wxButton(parent, t.id, t.caption, position, size);
    case Kind::kLabel:
      return new wxStaticText(parent, t.id, t.caption, position, size, wxST_NO_AUTORESIZE);
    case Kind::kReadOnlyEdit:
      return new wxTextCtrl(parent, t.id, t.caption, position, size, wxTE_READONLY);
    case Kind::kEdit: return new wxTextCtrl(parent, t.id, t.caption, position, size);
    case Kind::kDropDown:
      return new wxComboBox(parent, t.id, wxEmptyString, position, size, 0, nullptr,
                            wxCB_READONLY | wxCB_DROPDOWN);
    case Kind::kCheck: return new wxCheckBox(parent, t.id, t.caption, position, size);
    case Kind::kProgress:
      return new wxGauge(parent, t.id, 100, position, size, wxGA_HORIZONTAL | wxGA_SMOOTH);
  }
  return nullptr;
}

}  // namespace

SpeedCameraPage::SpeedCameraPage(wxWindow* parent, WxControlSurface& surface)
    : wxPanel(parent, wxID_ANY) {
  // "MS Shell Dlg" is the platform's default GUI font here.
  SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
  SetMinSize(ConvertDialogToPixels(wxSize(281, 186)));
  for (const auto& t : kTemplate) {
    wxWindow* control = MakeControl(this, t);
    control->Show(t.shown);
    surface.AddControl(t.id, control);
  }
  FindWindow(kDatabaseCheck)->Disable();
}

void SpeedCameraPage::Connect(CUploadDBDlg& page) {
  auto* ports = static_cast<wxComboBox*>(FindWindow(kPortList));
  // The list is filled again each time it opens.
  ports->Bind(wxEVT_COMBOBOX_DROPDOWN, [&page](wxCommandEvent&) { page.OnPortListDropDown(); });
  ports->Bind(wxEVT_COMBOBOX, [&page](wxCommandEvent&) { page.OnPortSelectionChange(); });
  FindWindow(kUpdateButton)->Bind(wxEVT_BUTTON, [&page](wxCommandEvent&) { page.OnUpdateButton(); });
  FindWindow(kQueryButton)->Bind(wxEVT_BUTTON, [&page](wxCommandEvent&) { page.OnQueryButton(); });
  FindWindow(kClearPoiButton)
      ->Bind(wxEVT_BUTTON, [&page](wxCommandEvent&) { page.OnClearPoiButton(); });
}

}  // namespace mzt
