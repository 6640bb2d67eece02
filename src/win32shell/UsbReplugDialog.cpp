#include "win32shell/UsbReplugDialog.h"

#include <algorithm>
#include <string>

#include "common/Timing.h"
#include "page/ReplugWatcher.h"
#include "platform/Clock.h"
#include "win32shell/ColorFontStatic.h"
#include "win32shell/ProgramIcon.h"
#include "win32shell/ResourceIds.h"

namespace mzt {
namespace {

constexpr UINT_PTR kTimer = 1;

struct DialogState {
  explicit DialogState(const ReplugWatcher::Probes& probes) : watcher(probes, RealClock()) {}
  std::function<void(HWND)> shown;
  ReplugWatcher watcher;
  CColorFontStatic prompt;
};

// 18 points need more room than the template's 17 units give: the dialog
// grows to fit its prompt.
void FitPrompt(HWND dialog, CColorFontStatic& prompt) {
  HDC dc = GetDC(prompt.Window());
  HFONT font = CreateFontIndirectW(&prompt.FontDescription());
  HGDIOBJ old = SelectObject(dc, font);
  std::wstring text = prompt.Text();
  RECT needed{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(prompt.Window(), dc);
  RECT client;
  GetClientRect(dialog, &client);
  int width = std::max<int>(client.right, needed.right + 8);
  int height = std::max<int>(client.bottom, needed.bottom + 4);
  if (width == client.right && height == client.bottom) return;
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(prompt.Window(), nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowPrompt(HWND dialog, DialogState& state) {
  const ReplugPrompt& prompt = state.watcher.Prompt();
  state.prompt.SetText(prompt.text)
      .SetTextColor(RGB(prompt.red, prompt.green, prompt.blue))
      .SetFontSize(prompt.points);
  FitPrompt(dialog, state.prompt);
}

INT_PTR CALLBACK ReplugDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<DialogState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SetProgramIcon(dialog);  // a window of its own, in the task bar too
      SetTimer(dialog, kTimer, static_cast<UINT>(Duration(Delay::kReplugTick).count()), nullptr);
      EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
      EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
      state->prompt.Attach(GetDlgItem(dialog, IDC_USB_PROMPT));
      state->watcher.TakePromptChange();
      ShowPrompt(dialog, *state);
      SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
      if (state->shown) state->shown(dialog);
      return TRUE;
    case WM_TIMER:
      if (wParam == kTimer && state) {
        ReplugWatcher::Phase phase = state->watcher.Tick();
        if (state->watcher.TakePromptChange()) ShowPrompt(dialog, *state);
        if (phase == ReplugWatcher::Phase::kDone) {
          KillTimer(dialog, kTimer);
          EndDialog(dialog, IDOK);
        }
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        KillTimer(dialog, kTimer);
        EndDialog(dialog, IDCANCEL);
      } else if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        wchar_t caption[8] = {};
        GetDlgItemTextW(dialog, IDOK, caption, 8);
        if (lstrcmpW(caption, L"OK") == 0) EndDialog(dialog, IDOK);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

ReplugResult RunUsbReplugDialog(const ReplugWatcher::Probes& probes,
                                const std::function<void(HWND)>& shown) {
  DialogState state(probes);
  state.shown = shown;
  INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_USB), nullptr,
                                   ReplugDialogProc, reinterpret_cast<LPARAM>(&state));
  if (shown) shown(nullptr);
  switch (result) {
    case IDOK: return ReplugResult::kOk;
    case IDCANCEL: return ReplugResult::kCancel;
    default: return ReplugResult::kNone;
  }
}

void CancelUsbReplugDialog(HWND dialog) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

}  // namespace mzt
