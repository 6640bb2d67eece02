#pragma once
// What the flows need of a window: controls addressed by id, the two lists,
// the progress bar, message boxes, the wait dialog and the replug dialog.
//
// The desktop shell implements it with widgets, the command line with a
// terminal, the tests with a recording fake. Implementations marshal every
// call to their UI thread and wait for it there, so workers may call it.

#include <string>

#include "page/ReplugWatcher.h"

namespace mzt {

// kYesNoDefaultNo: a question whose Yes cannot be undone, so that a hasty
// Enter answers No.
enum class MessageButtons { kOk, kYesNo, kYesNoDefaultNo };
enum class MessageAnswer { kOk, kYes, kNo, kCancel };

enum class ReplugResult {
  kNone = 0,    // the dialog could not run
  kOk = 1,      // the device was seen gone and back
  kCancel = 2,  // the user dismissed it
};

class IControlSurface {
 public:
  virtual ~IControlSurface() = default;

  virtual void SetText(int id, const std::wstring& text) = 0;
  virtual std::wstring GetText(int id) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual void Show(int id, bool shown) = 0;
  virtual void Check(int id, bool checked) = 0;

  // Drop-down lists (the port list and the region list).
  virtual void ClearList(int id) = 0;
  virtual void AddListItem(int id, const std::wstring& text) = 0;
  // An item that reads `label` where the window can show more than the item
  // itself (a port with its detector's serial number); ListItem answers `text`.
  virtual void AddLabelledListItem(int id, const std::wstring& text, const std::wstring& label) {
    (void)label;
    AddListItem(id, text);
  }
  virtual void SelectListItem(int id, int index) = 0;  // -1 selects nothing
  virtual int SelectedListItem(int id) = 0;            // -1 when none
  virtual int ListCount(int id) = 0;
  virtual std::wstring ListItem(int id, int index) = 0;

  virtual void SetProgressRange(int id, int low, int high) = 0;
  virtual void SetProgressPosition(int id, int position) = 0;

  // Blocks the caller until the user answers.
  virtual MessageAnswer ShowMessage(const std::wstring& text, const std::wstring& caption,
                                    MessageButtons buttons) = 0;

  // The please-wait dialog, captioned "請稍候" when it opens; opening one
  // while one is open does nothing.
  virtual void OpenWaitDialog() = 0;
  virtual void CloseWaitDialog() = 0;
  virtual bool IsWaitDialogOpen() = 0;
  virtual void SetWaitCaption(const std::wstring& caption) = 0;
  virtual std::wstring WaitCaption() = 0;

  // Runs the unplug-and-replug prompt, watching the device with `probes`;
  // blocks the caller until it ends.
  virtual ReplugResult RunReplugDialog(const ReplugWatcher::Probes& probes) = 0;

  // The main window's close command (greyed while a flow runs).
  virtual void EnableCloseCommand(bool enabled) = 0;
};

}  // namespace mzt
