#include "win32shell/MainSheet.h"

#include <commctrl.h>
#include <prsht.h>

#include <vector>

#include "devicelink/DevicePort.h"
#include "page/PageTexts.h"
#include "page/UploadDBDlg.h"
#include "platform/CopyDataChannel.h"
#include "win32shell/AboutPage.h"
#include "win32shell/ProgramIcon.h"
#include "win32shell/ResourceIds.h"
#include "win32shell/SpeedCameraPage.h"
#include "win32shell/TestHook.h"

namespace mzt {
namespace {

constexpr UINT kShrinkMessage = WM_APP + 2;
constexpr int kApplyButton = 0x3021;
// The sheet ends this far below its page (there is no button row).
constexpr int kBottomMargin = 12;

// The sheet's callback has no room for user data; one sheet runs at a time.
MainSheet* gRunning = nullptr;

}  // namespace

MainSheet::MainSheet(std::wstring title) : title_(std::move(title)) {}

MainSheet::~MainSheet() {
  hook_.reset();
  sheet_.reset();  // joins the workers while the surface still answers
  surface_.reset();
}

bool MainSheet::Run() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  PROPSHEETPAGEW pages[2] = {};
  pages[0].dwSize = sizeof(PROPSHEETPAGEW);
  pages[0].hInstance = instance;
  pages[0].pszTemplate = MAKEINTRESOURCEW(IDD_UPLOADDB);
  pages[0].pfnDlgProc = SpeedCameraPageProc;
  pages[0].lParam = reinterpret_cast<LPARAM>(this);
  pages[1].dwSize = sizeof(PROPSHEETPAGEW);
  pages[1].hInstance = instance;
  pages[1].pszTemplate = MAKEINTRESOURCEW(IDD_ABOUTBOX);
  pages[1].pfnDlgProc = AboutPageProc;

  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP | PSH_USECALLBACK;
  header.hInstance = instance;
  header.pszCaption = title_.c_str();
  header.nPages = 2;
  header.nStartPage = 0;
  header.ppsp = pages;
  header.pfnCallback = SheetCallback;
  gRunning = this;
  INT_PTR result = PropertySheetW(&header);
  gRunning = nullptr;
  hook_.reset();
  sheet_.reset();
  surface_.reset();
  return result >= 0;
}

int CALLBACK MainSheet::SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED && gRunning) gRunning->OnSheetInitialized(sheet);
  return 0;
}

void MainSheet::OnSheetInitialized(HWND sheet) {
  window_ = sheet;
  SetWindowSubclass(sheet, SheetProc, 0, reinterpret_cast<DWORD_PTR>(this));
  SetProgramIcon(sheet);
  for (int id : {IDOK, IDCANCEL, kApplyButton, IDHELP}) {
    if (HWND button = GetDlgItem(sheet, id)) {
      ShowWindow(button, SW_HIDE);
      EnableWindow(button, FALSE);
    }
  }
  // Once the first page exists.
  PostMessageW(sheet, kShrinkMessage, 0, 0);
}

void MainSheet::OnSpeedCameraPageCreated(HWND page) {
  if (!window_) window_ = GetParent(page);
  surface_ = std::make_unique<Win32ControlSurface>(window_, page);
  sheet_ = std::make_unique<CMZTUtilitySheet>(*surface_, std::make_unique<CDevicePort>());
  sheet_->Page().OnInitDialog();
  if (TestHook::Enabled()) hook_ = std::make_unique<TestHook>(*this);
}

// Removes the button row: the sheet ends just below its page.
void MainSheet::ShrinkToPage() {
  HWND page = PropSheet_GetCurrentPageHwnd(window_);
  if (!page) return;
  RECT sheet, pageArea;
  GetWindowRect(window_, &sheet);
  GetWindowRect(page, &pageArea);
  sheet.bottom = pageArea.bottom + kBottomMargin;
  MoveWindow(window_, sheet.left, sheet.top, sheet.right - sheet.left, sheet.bottom - sheet.top,
             TRUE);
}

bool MainSheet::Close() {
  if (closing_) return true;
  if (surface_) {
    if (!surface_->CloseCommandEnabled()) {  // a flow runs
      RefuseClose();
      return false;
    }
    if (surface_->AnyMessageBoxOpen()) {
      // A handler below us on this thread still uses the page: end its boxes
      // and close once they have returned.
      closeAccepted_ = true;
      surface_->EndMessageBoxesThen([this] { Close(); });
      return true;
    }
    surface_->Shutdown();
    sheet_->Page().WaitForIdle();
  }
  closing_ = true;
  closeAccepted_ = true;
  PropSheet_PressButton(window_, PSBTN_CANCEL);
  return true;
}

// Said once at a time, after the close command's handler, so that the
// refusal itself returns at once.
void MainSheet::RefuseClose() {
  if (closeRefusalShown_) return;
  closeRefusalShown_ = true;
  surface_->Gate().Post([this] {
    surface_->ShowMessage(TrW(strings::kCloseRefused), strings::kAppCaption, MessageButtons::kOk);
    closeRefusalShown_ = false;
  });
}

LRESULT MainSheet::OnCopyData(const COPYDATASTRUCT* data) {
  // A request while the page asks the user something would start a second
  // flow under the first one's question.
  if (!data || !sheet_ || surface_->AnyMessageBoxOpen()) return FALSE;
  if (data->cbData > kMaxCopyDataBytes) return FALSE;  // refused unread
  const auto* bytes = static_cast<const uint8_t*>(data->lpData);
  std::vector<uint8_t> copy(bytes, bytes + (bytes ? data->cbData : 0));
  surface_->SetReleaseSenderBeforeBoxes(true);
  CopyDataResult result = sheet_->OnCopyData(static_cast<uint32_t>(data->dwData), copy);
  surface_->SetReleaseSenderBeforeBoxes(false);
  return result == CopyDataResult::kAccepted ? TRUE : FALSE;
}

LRESULT CALLBACK MainSheet::SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR selfData) {
  auto* self = reinterpret_cast<MainSheet*>(selfData);
  switch (message) {
    case Win32ControlSurface::kPostedCallMessage:
      Win32ControlSurface::RunPostedCall(lParam);
      return 0;
    case kShrinkMessage:
      self->ShrinkToPage();
      return 0;
    case WM_CLOSE:
      self->Close();
      return 0;
    case WM_SYSCOMMAND:
      // The close box and Alt+F4 while greyed out: refused with the reason,
      // not ignored.
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        self->Close();
        return 0;
      }
      break;
    case WM_COMMAND:
      // The hidden buttons' commands (Escape sends Cancel's) go through the
      // close rules; nothing else may end the sheet.
      if (!self->closing_) {
        switch (LOWORD(wParam)) {
          case IDCANCEL: self->Close(); return 0;
          case IDOK:
          case kApplyButton:
          case IDHELP: return 0;
        }
      }
      break;
    case WM_COPYDATA:
      return self->OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_DESTROY:
      if (self->surface_) self->surface_->Shutdown();
      break;
    case WM_NCDESTROY:
      Win32ControlSurface::DropPostedCalls(window);
      RemoveWindowSubclass(window, SheetProc, id);
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace mzt
