#pragma once
// The caption-less unplug-and-replug prompt: green "請拔除USB線", then red
// "請插入USB線" once the device was seen gone. It only shows what the
// watcher (run by the worker that asked) finds; Escape cancels.

#include <atomic>
#include <memory>

#include <wx/dialog.h>

#include "page/ReplugWatcher.h"
#include "shell/ColorFontStatic.h"

namespace mzt {

class UsbReplugDialog : public wxDialog {
 public:
  UsbReplugDialog(wxWindow* parent, std::shared_ptr<std::atomic<bool>> cancelled);

  void ShowPrompt(const ReplugPrompt& prompt);
  wxString PromptText() const { return prompt_->GetLabel(); }

 private:
  std::shared_ptr<std::atomic<bool>> cancelled_;
  CColorFontStatic* prompt_;
};

}  // namespace mzt
