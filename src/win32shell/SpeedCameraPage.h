#pragma once
// The speed-camera page's window (template 132): its events go to the page
// controller. The page's PROPSHEETPAGE lParam is the MainSheet.

#include <windows.h>

namespace mzt {

INT_PTR CALLBACK SpeedCameraPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace mzt
