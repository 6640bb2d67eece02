#pragma once
// The About page: the program's name and version, its notice, and the
// folder that holds the program's files (POI.csv among them), and the
// switch that records the session for a problem report.

#include <wx/panel.h>

#include "recording/RecordingSwitch.h"
#include "shell/WindowTexts.h"

namespace mzt {

class AboutPage : public wxPanel {
 public:
  static constexpr const wchar_t* kCaption = shell_texts::kAbout;
  static constexpr int kVersionText = 1118;
  static constexpr int kFolderText = 1119;
  static constexpr int kRecordCheck = 1120;

  AboutPage(wxWindow* parent, RecordingSwitch& recording);
};

}  // namespace mzt
