#pragma once
// The control surface of the tests: keeps every call in order and the state
// of each control, and answers message boxes and the replug dialog from a
// script. Safe to call from any thread.

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "page/ControlSurface.h"

namespace mzt::test {

enum class SurfaceCall {
  kSetText,
  kEnable,
  kShow,
  kCheck,
  kClearList,
  kAddListItem,
  kSelectListItem,
  kSetProgressRange,
  kSetProgressPosition,
  kShowMessage,
  kOpenWaitDialog,
  kCloseWaitDialog,
  kSetWaitCaption,
  kRunReplugDialog,
  kEnableCloseCommand,
};

// One call that changed something or asked the user; reads are not logged.
struct SurfaceEvent {
  SurfaceCall call;
  int id = 0;          // control id; 0 for dialogs and messages
  std::wstring text{};  // text, list item, message text or wait caption
  std::wstring caption{};  // message caption
  int value = 0;       // flag (0/1), index, position, range high, buttons, answer or result
  int low = 0;         // range low

  // A readable line, e.g. "SetText 1143 \"資料下載中,請稍等\" 0" (UTF-8).
  std::string Describe() const;
};

struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  MessageButtons buttons;
  MessageAnswer answer;
};

struct ControlState {
  std::wstring text;
  bool enabled = true;
  bool shown = true;
  bool checked = false;
  std::vector<std::wstring> items;
  int selection = -1;
  int rangeLow = 0;
  int rangeHigh = 100;
  int position = 0;
};

class RecordingSurface : public IControlSurface {
 public:
  RecordingSurface() = default;

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

  // Script: the next message boxes take these answers in order; once they
  // are used up, the default for the box's buttons (OK, and Yes for Yes/No).
  void QueueAnswers(std::initializer_list<MessageAnswer> answers);
  void SetDefaultAnswer(MessageButtons buttons, MessageAnswer answer);
  // The replug dialog's result (kCancel unless set), and what the user does
  // while it is open. For kOk the prompt watches the device with the page's
  // probes while the user acts on a thread of its own, and answers kNone
  // when it does not see the device replugged within seconds.
  void SetDefaultReplugResult(ReplugResult result, std::function<void()> userAction = {});
  // Told (on the caller's thread, without the surface's lock) each time the
  // close command is enabled or greyed.
  void SetCloseCommandObserver(std::function<void(bool enabled)> observer);
  // Told (on the caller's thread, without the surface's lock) of each message
  // box and replug prompt while it is open, as the user would see it.
  void SetDialogObserver(std::function<void(const SurfaceEvent& opened)> observer);

  // What happened.
  std::vector<SurfaceEvent> Events() const;
  std::vector<ShownMessage> Messages() const;
  std::vector<std::wstring> MessageTexts() const;
  std::vector<SurfaceEvent> EventsOf(SurfaceCall call) const;
  ControlState Control(int id) const;
  bool CloseCommandEnabled() const;
  // The log as readable lines, for failure output.
  std::string Transcript() const;
  void ClearEvents();

 private:
  void Record(SurfaceEvent event);  // with mutex_ held
  // Records a dialog and tells the observer, after unlocking `lock`.
  void RecordDialog(SurfaceEvent event, std::unique_lock<std::mutex>& lock);
  ControlState& At(int id) { return controls_[id]; }

  mutable std::mutex mutex_;
  std::vector<SurfaceEvent> events_;
  std::vector<ShownMessage> messages_;
  std::map<int, ControlState> controls_;
  std::deque<MessageAnswer> answers_;
  MessageAnswer defaultOk_ = MessageAnswer::kOk;
  MessageAnswer defaultYesNo_ = MessageAnswer::kYes;
  ReplugResult defaultReplug_ = ReplugResult::kCancel;
  std::function<void()> replugAction_;
  std::function<void(bool)> closeCommandObserver_;
  std::function<void(const SurfaceEvent&)> dialogObserver_;
  bool waitOpen_ = false;
  std::wstring waitCaption_;
  bool closeEnabled_ = true;
};

}  // namespace mzt::test
