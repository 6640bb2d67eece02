#pragma once
// The speed-camera page's window: the controls of template 132, laid out
// from its dialog units, and their events passed to the page controller.

#include <wx/panel.h>

namespace mzt {

class CUploadDBDlg;
class WxControlSurface;

class SpeedCameraPage : public wxPanel {
 public:
  static constexpr const wchar_t* kCaption = L"測速點資料庫上傳";

  // Creates every control and registers it with `surface`.
  SpeedCameraPage(wxWindow* parent, WxControlSurface& surface);

  // Wires the controls' events to `page`.
  void Connect(CUploadDBDlg& page);
};

}  // namespace mzt
