#pragma once
// The About page (template 100): the program's name and version, and the
// folders that hold its files and settings.

#include <windows.h>

namespace mzt {

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace mzt
