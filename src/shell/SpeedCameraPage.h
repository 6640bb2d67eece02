#pragma once
// The speed-camera page's window: the controls of template 132 in their
// three groups, sized from its dialog units at least, and their events passed
// to the page controller; while idle it looks for detectors plugged in.

#include <wx/panel.h>
#include <wx/timer.h>

#include "shell/WindowTexts.h"

namespace mzt {

class CUploadDBDlg;
class WxControlSurface;

class SpeedCameraPage : public wxPanel {
 public:
  static constexpr const wchar_t* kCaption = shell_texts::kSpeedCameraPage;

  // Creates every control and registers it with `surface`.
  SpeedCameraPage(wxWindow* parent, WxControlSurface& surface);

  // Wires the controls' events to `page`.
  void Connect(CUploadDBDlg& page);

 private:
  wxTimer portsPoll_;
  bool portsShown_ = false;  // the port list is open
};

}  // namespace mzt
