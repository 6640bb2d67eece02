#pragma once
// The control surface on the speed-camera page's Win32 controls. Every call
// runs on the UI thread: a worker's call is posted to the sheet's window and
// waits; a UI-thread call runs at once. Shutdown answers every waiting and
// later call (message boxes as Cancel or No, the replug prompt as cancelled)
// so that the sheet may join the workers before the page goes.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

#include "page/ControlSurface.h"
#include "uikit/UiCallGate.h"
#include "win32shell/WaitDialog.h"

namespace mzt {

class Win32ControlSurface : public IControlSurface {
 public:
  // The sheet's window takes the posted calls (see RunPostedCall).
  static constexpr UINT kPostedCallMessage = WM_APP + 1;

  // Made on the UI thread.
  Win32ControlSurface(HWND sheet, HWND page);
  ~Win32ControlSurface() override;

  // The sheet's window procedure hands each kPostedCallMessage here.
  static void RunPostedCall(LPARAM call);
  // Frees the calls still queued for a window that is going.
  static void DropPostedCalls(HWND sheet);

  HWND Control(int id) const { return GetDlgItem(page_, id); }

  // IControlSurface
  void SetText(int id, const std::wstring& text) override;
  std::wstring GetText(int id) override;
  void Enable(int id, bool enabled) override;
  void Show(int id, bool shown) override;
  void Check(int id, bool checked) override;
  void ClearList(int id) override;
  void AddListItem(int id, const std::wstring& text) override;
  void SelectListItem(int id, int index) override;
  int SelectedListItem(int id) override;
  int ListCount(int id) override;
  std::wstring ListItem(int id, int index) override;
  void SetProgressRange(int id, int low, int high) override;
  void SetProgressPosition(int id, int position) override;
  MessageAnswer ShowMessage(const std::wstring& text, const std::wstring& caption,
                            MessageButtons buttons) override;
  void OpenWaitDialog() override;
  void CloseWaitDialog() override;
  bool IsWaitDialogOpen() override;
  void SetWaitCaption(const std::wstring& caption) override;
  std::wstring WaitCaption() override;
  ReplugResult RunReplugDialog(const ReplugWatcher::Probes& probes) override;
  void EnableCloseCommand(bool enabled) override;

  bool CloseCommandEnabled() const { return closeEnabled_; }
  // Any thread: the replug dialog's prompt, empty while it is not shown.
  std::wstring ReplugPromptText();
  UiCallGate& Gate() { return gate_; }

  // UI thread: the message box on screen (the innermost), or null.
  HWND OpenMessageBox() const { return boxes_.empty() ? nullptr : boxes_.back(); }
  bool AnyMessageBoxOpen() const { return !boxes_.empty(); }
  // Sees each message box as it opens (UI thread).
  using MessageObserver =
      std::function<void(const std::wstring& caption, const std::wstring& text, MessageButtons)>;
  void SetMessageObserver(MessageObserver observer) { messageObserver_ = std::move(observer); }
  // UI thread: ends the message boxes on screen as Cancel and runs `then`
  // once the last has returned (at once when none is open).
  void EndMessageBoxesThen(std::function<void()> then);
  // UI thread: while set, a message box first releases the thread that sent
  // the message being handled (another program's request waits no longer
  // than it takes to accept it).
  void SetReleaseSenderBeforeBoxes(bool release) { releaseSender_ = release; }

  // UI thread: answers every waiting call, ends the message boxes as Cancel,
  // cancels the replug prompt and closes the wait dialog.
  void Shutdown();

 private:
  HWND sheet_;
  HWND page_;
  UiCallGate gate_;
  std::atomic<bool> closeEnabled_{true};
  std::vector<HWND> boxes_;  // UI thread only
  std::set<int> emptyRanges_;  // bars without a total; UI thread only
  MessageObserver messageObserver_;
  std::function<void()> afterMessageBoxes_;
  bool releaseSender_ = false;
  WaitDialog waitDialog_;
  std::mutex replugMutex_;
  HWND replugDialog_ = nullptr;
};

}  // namespace mzt
