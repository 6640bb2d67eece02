#include "win32shell/WaitDialog.h"

#include <commctrl.h>

#include <future>

#include "uikit/WaitSweep.h"
#include "win32shell/ProgramIcon.h"
#include "win32shell/ResourceIds.h"
#include "win32shell/WindowText.h"

namespace mzt {
namespace {

constexpr UINT_PTR kTimer = 1;

struct DialogState {
  std::promise<HWND> created;
  WaitSweep sweep;
};

INT_PTR CALLBACK WaitDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<DialogState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetProgramIcon(dialog);  // a window of its own, in the task bar too
      SetTimer(dialog, kTimer, WaitSweep::TickMilliseconds(), nullptr);
      SendDlgItemMessageW(dialog, IDC_WAIT_BAR, PBM_SETRANGE32, 0, WaitSweep::kRangeHigh);
      EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
      SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
      state->created.set_value(dialog);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kTimer) {
        auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        SendDlgItemMessageW(dialog, IDC_WAIT_BAR, PBM_SETPOS, static_cast<WPARAM>(state->sweep.Tick()),
                            0);
      }
      return TRUE;
    case WM_CLOSE:
      KillTimer(dialog, kTimer);
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_COMMAND:
      // Escape and Enter: closing is the worker's business, not the user's.
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void WaitDialog::Open() {
  std::lock_guard lock(mutex_);
  if (window_ || FindWindowW(nullptr, kCaption)) return;  // never two at once
  if (thread_.joinable()) thread_.join();                 // one that failed to open
  auto state = std::make_shared<DialogState>();
  std::future<HWND> created = state->created.get_future();
  thread_ = std::thread([state] {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_WAIT), nullptr,
                                     WaitDialogProc, reinterpret_cast<LPARAM>(state.get()));
    if (result == -1) state->created.set_value(nullptr);
  });
  window_ = created.get();
}

void WaitDialog::Close() {
  std::thread thread;
  HWND window;
  {
    std::lock_guard lock(mutex_);
    thread = std::move(thread_);
    window = window_;
    window_ = nullptr;
  }
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (thread.joinable()) thread.join();
}

bool WaitDialog::IsOpen() {
  std::lock_guard lock(mutex_);
  return window_ != nullptr;
}

void WaitDialog::SetCaption(const std::wstring& caption) {
  std::lock_guard lock(mutex_);
  if (window_) SetWindowTextW(window_, caption.c_str());
}

std::wstring WaitDialog::Caption() {
  std::lock_guard lock(mutex_);
  return window_ ? WindowText(window_) : std::wstring();
}

}  // namespace mzt
