#include "win32shell/AboutPage.h"

#include "common/ModuleVersion.h"
#include "platform/TextCodec.h"
#include "win32shell/ResourceIds.h"

namespace mzt {

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  SetDlgItemTextW(page, IDC_VERSION_TEXT, Utf8ToWide(ProgramTitle()).c_str());
  return TRUE;
}

}  // namespace mzt
