#include "win32shell/Win32ControlSurface.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "win32shell/ResourceIds.h"
#include "win32shell/UsbReplugDialog.h"
#include "win32shell/WindowText.h"

namespace mzt {
namespace {

using Call = std::function<void()>;

void PostCall(HWND sheet, Call call) {
  auto* queued = new Call(std::move(call));
  if (!PostMessageW(sheet, Win32ControlSurface::kPostedCallMessage, 0,
                    reinterpret_cast<LPARAM>(queued)))
    delete queued;
}

// Sees the message box's window as it is created on this thread.
thread_local std::function<void(HWND)> tBoxCreated;

LRESULT CALLBACK WatchForMessageBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && tBoxCreated) {
    auto window = reinterpret_cast<HWND>(wParam);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") == 0) {
      auto created = std::move(tBoxCreated);
      tBoxCreated = nullptr;
      created(window);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

Win32ControlSurface::Win32ControlSurface(HWND sheet, HWND page)
    : sheet_(sheet), page_(page), gate_([sheet](Call task) { PostCall(sheet, std::move(task)); }) {}

Win32ControlSurface::~Win32ControlSurface() { Shutdown(); }

void Win32ControlSurface::RunPostedCall(LPARAM call) {
  std::unique_ptr<Call> body(reinterpret_cast<Call*>(call));
  (*body)();
}

void Win32ControlSurface::DropPostedCalls(HWND sheet) {
  MSG message;
  while (PeekMessageW(&message, sheet, kPostedCallMessage, kPostedCallMessage, PM_REMOVE))
    delete reinterpret_cast<Call*>(message.lParam);
}

void Win32ControlSurface::SetText(int id, const std::wstring& text) {
  gate_.Call([&] { SetWindowTextW(Control(id), text.c_str()); });
}

std::wstring Win32ControlSurface::GetText(int id) {
  return gate_.Call<std::wstring>([&] { return WindowText(Control(id)); }, std::wstring());
}

void Win32ControlSurface::Enable(int id, bool enabled) {
  gate_.Call([&] { EnableWindow(Control(id), enabled); });
}

void Win32ControlSurface::Show(int id, bool shown) {
  gate_.Call([&] { ShowWindow(Control(id), shown ? SW_SHOW : SW_HIDE); });
}

void Win32ControlSurface::Check(int id, bool checked) {
  gate_.Call([&] {
    SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  });
}

void Win32ControlSurface::ClearList(int id) {
  gate_.Call([&] { SendMessageW(Control(id), CB_RESETCONTENT, 0, 0); });
}

void Win32ControlSurface::AddListItem(int id, const std::wstring& text) {
  gate_.Call([&] {
    SendMessageW(Control(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  });
}

void Win32ControlSurface::SelectListItem(int id, int index) {
  gate_.Call([&] { SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0); });
}

int Win32ControlSurface::SelectedListItem(int id) {
  return gate_.Call<int>(
      [&] {
        LRESULT selected = SendMessageW(Control(id), CB_GETCURSEL, 0, 0);
        return selected == CB_ERR ? -1 : static_cast<int>(selected);
      },
      -1);
}

int Win32ControlSurface::ListCount(int id) {
  return gate_.Call<int>(
      [&] {
        LRESULT count = SendMessageW(Control(id), CB_GETCOUNT, 0, 0);
        return count == CB_ERR ? 0 : static_cast<int>(count);
      },
      0);
}

std::wstring Win32ControlSurface::ListItem(int id, int index) {
  return gate_.Call<std::wstring>(
      [&] {
        HWND list = Control(id);
        LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == CB_ERR) return std::wstring();
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        LRESULT copied = SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied == CB_ERR ? 0 : static_cast<size_t>(copied));
        return text;
      },
      std::wstring());
}

// The control draws an empty range as it likes: it gets a range of one, held
// at 0, so that a bar without a total stays empty.
void Win32ControlSurface::SetProgressRange(int id, int low, int high) {
  gate_.Call([&] {
    if (high > low) emptyRanges_.erase(id); else emptyRanges_.insert(id);
    SendMessageW(Control(id), PBM_SETRANGE32, static_cast<WPARAM>(low), std::max(high, low + 1));
  });
}

void Win32ControlSurface::SetProgressPosition(int id, int position) {
  gate_.Call([&] {
    WPARAM shown = emptyRanges_.count(id) ? 0 : static_cast<WPARAM>(position);
    SendMessageW(Control(id), PBM_SETPOS, shown, 0);
  });
}

MessageAnswer Win32ControlSurface::ShowMessage(const std::wstring& text,
                                               const std::wstring& caption,
                                               MessageButtons buttons) {
  bool yesNo = buttons != MessageButtons::kOk;
  UINT defaultButton = buttons == MessageButtons::kYesNoDefaultNo ? MB_DEFBUTTON2 : MB_DEFBUTTON1;
  MessageAnswer unanswered = yesNo ? MessageAnswer::kNo : MessageAnswer::kCancel;
  return gate_.Call<MessageAnswer>(
      [this, text, caption, buttons, yesNo, defaultButton, unanswered] {
        // Another program's request is accepted once it has started a flow;
        // it need not wait for the user.
        if (releaseSender_ && InSendMessage()) ReplyMessage(TRUE);
        boxes_.push_back(nullptr);
        size_t slot = boxes_.size() - 1;
        tBoxCreated = [this, slot, text, caption, buttons](HWND box) {
          boxes_[slot] = box;
          if (messageObserver_) messageObserver_(caption, text, buttons);
        };
        HHOOK hook = SetWindowsHookExW(WH_CBT, WatchForMessageBox, nullptr, GetCurrentThreadId());
        int answer = MessageBoxW(sheet_, text.c_str(), caption.c_str(),
                                 yesNo ? (MB_YESNO | MB_ICONQUESTION | defaultButton) : MB_OK);
        if (hook) UnhookWindowsHookEx(hook);
        tBoxCreated = nullptr;
        boxes_.pop_back();
        if (afterMessageBoxes_) {
          if (!boxes_.empty()) {
            if (boxes_.back()) EndDialog(boxes_.back(), IDCANCEL);
          } else {
            // Queued, so that it runs once the handler below has returned.
            PostCall(sheet_, std::move(afterMessageBoxes_));
            afterMessageBoxes_ = nullptr;
          }
        }
        switch (answer) {
          case IDOK: return MessageAnswer::kOk;
          case IDYES: return MessageAnswer::kYes;
          case IDNO: return MessageAnswer::kNo;
          default: return unanswered;
        }
      },
      unanswered);
}

void Win32ControlSurface::EndMessageBoxesThen(std::function<void()> then) {
  if (boxes_.empty()) {
    then();
    return;
  }
  afterMessageBoxes_ = std::move(then);
  if (boxes_.back()) EndDialog(boxes_.back(), IDCANCEL);
}

void Win32ControlSurface::OpenWaitDialog() {
  if (!gate_.IsShutDown()) waitDialog_.Open();
}
void Win32ControlSurface::CloseWaitDialog() { waitDialog_.Close(); }
bool Win32ControlSurface::IsWaitDialogOpen() { return waitDialog_.IsOpen(); }
void Win32ControlSurface::SetWaitCaption(const std::wstring& caption) {
  waitDialog_.SetCaption(caption);
}
std::wstring Win32ControlSurface::WaitCaption() { return waitDialog_.Caption(); }

// A dialog ended by the shutdown did not run to its end: the page must not
// start the update again behind a window that is going.
ReplugResult Win32ControlSurface::RunReplugDialog(const ReplugWatcher::Probes& probes) {
  if (gate_.IsShutDown()) return ReplugResult::kNone;
  ReplugResult result = RunUsbReplugDialog(probes, [this](HWND dialog) {
    std::lock_guard lock(replugMutex_);
    replugDialog_ = dialog;
    if (dialog && gate_.IsShutDown()) CancelUsbReplugDialog(dialog);
  });
  return gate_.IsShutDown() ? ReplugResult::kNone : result;
}

// Read without a message to the dialog's thread, which its probes block.
std::wstring Win32ControlSurface::ReplugPromptText() {
  std::lock_guard lock(replugMutex_);
  if (!replugDialog_) return {};
  wchar_t text[64] = {};
  InternalGetWindowText(GetDlgItem(replugDialog_, IDC_USB_PROMPT), text, 64);
  return text;
}

void Win32ControlSurface::EnableCloseCommand(bool enabled) {
  closeEnabled_ = enabled;
  gate_.Call([this, enabled] {
    EnableMenuItem(GetSystemMenu(sheet_, FALSE), SC_CLOSE,
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  });
}

void Win32ControlSurface::Shutdown() {
  gate_.Shutdown();
  for (HWND box : boxes_)
    if (box) EndDialog(box, IDCANCEL);
  {
    std::lock_guard lock(replugMutex_);
    if (replugDialog_) CancelUsbReplugDialog(replugDialog_);
  }
  waitDialog_.Close();
}

}  // namespace mzt
