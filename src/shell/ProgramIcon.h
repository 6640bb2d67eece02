#pragma once
// The program's icon (packaging/mzt-utility.svg, built in) for the frame and
// every dialog, so the title bar and the task list show it, not the default.

#include <wx/iconbndl.h>

namespace mzt {

const wxIconBundle& ProgramIcons();

}  // namespace mzt
