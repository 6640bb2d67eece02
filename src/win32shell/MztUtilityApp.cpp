// The desktop program: one modal sheet; the process ends when it closes.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "common/ModuleVersion.h"
#include "common/Timing.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"
#include "win32shell/MainSheet.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--version") == 0) {
      // Answered without a window, for scripts and installers.
      std::string line = mzt::ProgramTitle() + "\n";
      DWORD written = 0;
      WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
                &written, nullptr);
      LocalFree(argv);
      return 0;
    }
  }
  if (argv) LocalFree(argv);

  mzt::UseLanguage(mzt::Language::kUser);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  mzt::InitTimingFromEnvironment();
  mzt::MainSheet sheet(mzt::Utf8ToWide(mzt::ProgramTitle()));
  return sheet.Run() ? 0 : 1;
}
