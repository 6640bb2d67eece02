#pragma once
// The program's icon (mzt-utility.ico) on a window of its own: the small
// size for the title bar and the task bar, the big one for Alt+Tab.

#include <windows.h>

#include "win32shell/ResourceIds.h"

namespace mzt {

// The icon of that size from the resource; shared, never destroyed.
inline HICON ProgramIcon(bool small) {
  int size = GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                       IMAGE_ICON, size, size, LR_SHARED));
}

inline void SetProgramIcon(HWND window) {
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(false)));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(true)));
}

}  // namespace mzt
