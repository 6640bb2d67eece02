#include "win32shell/AboutPage.h"

#include "common/ModuleVersion.h"
#include "page/PageTexts.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"
#include "win32shell/ResourceIds.h"

namespace mzt {

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  SetDlgItemTextW(page, IDC_VERSION_TEXT, Utf8ToWide(ProgramTitle()).c_str());
  SetDlgItemTextW(page, IDC_FOLDERS_LABEL, TrW(strings::kFoldersLabel).c_str());
  std::wstring folders = DataFolder().wstring();
  if (ConfigFolder() != DataFolder()) folders += L"\r\n" + ConfigFolder().wstring();
  SetDlgItemTextW(page, IDC_FOLDERS, folders.c_str());
  return TRUE;
}

}  // namespace mzt
