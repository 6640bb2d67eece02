// Test sender, `mzt-copydata-probe IDENTIFIER TEXT`: sends WM_COPYDATA with any identifier to the
// running desktop program, found by its title. Exit status: 0 accepted, 1 refused, 2 no window, 3 usage.

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

HWND FindSheet() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND window, LPARAM result) -> BOOL {
        wchar_t title[64] = {};
        GetWindowTextW(window, title, 64);
        if (std::wcsncmp(title, L"MZT Utility Online", 18) != 0) return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 3;
  HWND sheet = FindSheet();
  if (!sheet) return 2;
  // The text travels 8-bit, in the system's code page, with its NUL.
  int size = WideCharToMultiByte(CP_ACP, 0, argv[2], -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, argv[2], -1, text.data(), size, nullptr, nullptr);
  COPYDATASTRUCT data = {};
  data.dwData = static_cast<ULONG_PTR>(std::wcstoul(argv[1], nullptr, 10));
  data.cbData = static_cast<DWORD>(text.size());
  data.lpData = text.data();
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(sheet, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                           SMTO_ABORTIFHUNG, 30000, &answer))
    return 1;
  return answer ? 0 : 1;
}
