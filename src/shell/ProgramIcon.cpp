#include "shell/ProgramIcon.h"

#include <wx/bmpbndl.h>

#include "shell/ProgramIconSvg.h"

namespace mzt {

const wxIconBundle& ProgramIcons() {
  static const wxIconBundle icons = [] {
    wxBitmapBundle drawing = wxBitmapBundle::FromSVG(kProgramIconSvg, wxSize(64, 64));
    wxIconBundle bundle;
    for (int side : {16, 24, 32, 48, 64}) bundle.AddIcon(drawing.GetIcon(wxSize(side, side)));
    return bundle;
  }();
  return icons;
}

}  // namespace mzt
