#pragma once
// The control surface on real widgets. Every call runs on the UI thread: a
// worker's call is marshalled there and waits; a UI-thread call runs at
// once. Shutdown answers every waiting and later call (message boxes as
// Cancel or No, the replug prompt as cancelled) so that the window may join
// the workers before the page goes.

#include <atomic>
#include <functional>
#include <map>
#include <memory>

#include <wx/dialog.h>
#include <wx/frame.h>

#include "page/ControlSurface.h"
#include "uikit/UiCallGate.h"

namespace mzt {

class WaitDialog;
class UsbReplugDialog;

class WxControlSurface : public IControlSurface {
 public:
  // Made on the UI thread; `frame` owns the dialogs and the queued calls.
  explicit WxControlSurface(wxFrame& frame);
  ~WxControlSurface() override;

  void AddControl(int id, wxWindow* control) { controls_[id] = control; }
  wxWindow* Control(int id) const;

  // IControlSurface
  void SetText(int id, const std::wstring& text) override;
  std::wstring GetText(int id) override;
  void Enable(int id, bool enabled) override;
  void Show(int id, bool shown) override;
  void Check(int id, bool checked) override;
  void ClearList(int id) override;
  void AddListItem(int id, const std::wstring& text) override;
  void AddLabelledListItem(int id, const std::wstring& text, const std::wstring& label) override;
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
  // The message box on screen, if any (UI thread).
  wxDialog* OpenMessageBox() const { return messageBox_; }
  // Sees each message box as it opens (UI thread).
  using MessageObserver =
      std::function<void(const wxString& caption, const wxString& text, MessageButtons buttons)>;
  void SetMessageObserver(MessageObserver observer) { messageObserver_ = std::move(observer); }
  UiCallGate& Gate() { return gate_; }
  // UI thread: ends the message boxes on screen as Cancel and runs `then`
  // once the last has returned (at once when none is open).
  void EndMessageBoxesThen(std::function<void()> then);

  // UI thread: answers every waiting call, ends the open message box as
  // Cancel and closes the dialogs.
  void Shutdown();

  // The replug dialog while it shows (UI thread only), for the test hook.
  const UsbReplugDialog* OpenReplugDialog() const { return replugDialog_; }

 private:
  wxFrame& frame_;
  UiCallGate gate_;
  std::map<int, wxWindow*> controls_;
  std::atomic<bool> closeEnabled_{true};
  wxDialog* messageBox_ = nullptr;
  WaitDialog* waitDialog_ = nullptr;
  int focusBack_ = 0;  // the control that had the focus when a flow greyed it
  UsbReplugDialog* replugDialog_ = nullptr;
  std::shared_ptr<std::atomic<bool>> replugCancelled_;
  MessageObserver messageObserver_;
  std::function<void()> afterMessageBoxes_;
};

}  // namespace mzt
