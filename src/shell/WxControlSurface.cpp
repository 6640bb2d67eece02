#include "shell/WxControlSurface.h"

#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "devicelink/PortDiscovery.h"
#include "page/PageTexts.h"
#include "page/ReplugWatcher.h"
#include "platform/Clock.h"
#include "shell/ProgramIcon.h"
#include "shell/UsbReplugDialog.h"
#include "shell/WaitDialog.h"

namespace mzt {
namespace {

// The page names no kind of box; its captions and texts tell the meaning.
long IconFor(const std::wstring& text, const std::wstring& caption, MessageButtons buttons) {
  if (buttons != MessageButtons::kOk) return wxICON_QUESTION;
  if (caption == strings::kErrorCaption || caption == strings::kSystemErrorCaption) return wxICON_ERROR;
  if (text == strings::kUploadModeWarning) return wxICON_WARNING;
  return wxICON_INFORMATION;
}

// Long texts wrap at this width, as the platform's own boxes do.
constexpr int kMessageWidth = 420;

// Breaks each paragraph where it would pass `width` pixels: at its last blank
// when the line has one, else between characters (Chinese has no blanks).
wxString WrapToWidth(const wxString& text, const wxWindow& measure, int width) {
  wxString wrapped, line;
  auto flush = [&](bool paragraphEnd) {
    wrapped += line;
    if (paragraphEnd) wrapped += '\n';
    line.clear();
  };
  for (wxUniChar c : text) {
    if (c == '\n') {
      flush(true);
      continue;
    }
    line += c;
    if (line.length() < 2 || measure.GetTextExtent(line).x <= width) continue;
    size_t blank = line.find_last_of(' ', line.length() - 2);
    wxString rest;
    if (blank != wxString::npos && blank > 0) {
      rest = line.Mid(blank + 1);
      line.Truncate(blank);
    } else {
      rest = line.Last();
      line.RemoveLast();
    }
    flush(true);
    line = rest;
  }
  flush(false);
  return wrapped;
}

}  // namespace

WxControlSurface::WxControlSurface(wxFrame& frame)
    : frame_(frame), gate_([&frame](std::function<void()> task) { frame.CallAfter(std::move(task)); }) {}

WxControlSurface::~WxControlSurface() { gate_.Shutdown(); }

wxWindow* WxControlSurface::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

// Edits hold a value, the other controls a caption taken literally.
void WxControlSurface::SetText(int id, const std::wstring& text) {
  gate_.Call([&] {
    wxWindow* window = Control(id);
    if (auto* edit = wxDynamicCast(window, wxTextCtrl))
      edit->ChangeValue(text);
    else if (auto* control = wxDynamicCast(window, wxControl))
      control->SetLabelText(text);
  });
}

std::wstring WxControlSurface::GetText(int id) {
  return gate_.Call<std::wstring>(
      [&] {
        wxWindow* window = Control(id);
        if (auto* edit = wxDynamicCast(window, wxTextCtrl)) return edit->GetValue().ToStdWstring();
        if (auto* control = wxDynamicCast(window, wxControl))
          return control->GetLabelText().ToStdWstring();
        return std::wstring();
      },
      std::wstring());
}

// A flow greys the button that started it, and the toolkit drops the focus
// with it: it comes back with the button, so Enter works again.
void WxControlSurface::Enable(int id, bool enabled) {
  gate_.Call([&] {
    wxWindow* control = Control(id);
    if (!control) return;
    if (!enabled && wxWindow::FindFocus() == control) focusBack_ = id;
    control->Enable(enabled);
    if (enabled && focusBack_ == id) {
      focusBack_ = 0;
      if (control->IsShownOnScreen()) control->SetFocus();
    }
  });
}

void WxControlSurface::Show(int id, bool shown) {
  gate_.Call([&] {
    if (wxWindow* control = Control(id)) control->Show(shown);
  });
}

void WxControlSurface::Check(int id, bool checked) {
  gate_.Call([&] {
    if (auto* box = wxDynamicCast(Control(id), wxCheckBox)) box->SetValue(checked);
  });
}

void WxControlSurface::ClearList(int id) {
  gate_.Call([&] {
    if (auto* list = wxDynamicCast(Control(id), wxComboBox)) list->Clear();
  });
}

void WxControlSurface::AddListItem(int id, const std::wstring& text) {
  gate_.Call([&] {
    if (auto* list = wxDynamicCast(Control(id), wxComboBox)) list->Append(text);
  });
}

// The label is shown; the item itself rides along as the entry's data.
void WxControlSurface::AddLabelledListItem(int id, const std::wstring& text, const std::wstring& label) {
  gate_.Call([&] {
    if (auto* list = wxDynamicCast(Control(id), wxComboBox))
      list->Append(label, new wxStringClientData(text));
  });
}

void WxControlSurface::SelectListItem(int id, int index) {
  gate_.Call([&] {
    if (auto* list = wxDynamicCast(Control(id), wxComboBox))
      list->SetSelection(index >= 0 && index < static_cast<int>(list->GetCount()) ? index
                                                                                  : wxNOT_FOUND);
  });
}

int WxControlSurface::SelectedListItem(int id) {
  return gate_.Call<int>(
      [&] {
        auto* list = wxDynamicCast(Control(id), wxComboBox);
        return list ? list->GetSelection() : -1;
      },
      -1);
}

int WxControlSurface::ListCount(int id) {
  return gate_.Call<int>(
      [&] {
        auto* list = wxDynamicCast(Control(id), wxComboBox);
        return list ? static_cast<int>(list->GetCount()) : 0;
      },
      0);
}

std::wstring WxControlSurface::ListItem(int id, int index) {
  return gate_.Call<std::wstring>(
      [&] {
        auto* list = wxDynamicCast(Control(id), wxComboBox);
        if (!list || index < 0 || index >= static_cast<int>(list->GetCount())) return std::wstring();
        if (list->HasClientObjectData())
          if (auto* item = dynamic_cast<wxStringClientData*>(
                  list->GetClientObject(static_cast<unsigned>(index))))
            return item->GetData().ToStdWstring();
        return list->GetString(static_cast<unsigned>(index)).ToStdWstring();
      },
      std::wstring());
}

// A gauge runs from 0; a range low above 0 is shifted away.
void WxControlSurface::SetProgressRange(int id, int low, int high) {
  gate_.Call([&] {
    if (auto* bar = wxDynamicCast(Control(id), wxGauge)) bar->SetRange(std::max(0, high - low));  // empty: no total
  });
}

void WxControlSurface::SetProgressPosition(int id, int position) {
  gate_.Call([&] {
    if (auto* bar = wxDynamicCast(Control(id), wxGauge))
      bar->SetValue(std::clamp(position, 0, bar->GetRange()));
  });
}

MessageAnswer WxControlSurface::ShowMessage(const std::wstring& text, const std::wstring& caption,
                                            MessageButtons buttons) {
  MessageAnswer unanswered =
      buttons != MessageButtons::kOk ? MessageAnswer::kNo : MessageAnswer::kCancel;
  return gate_.Call<MessageAnswer>(
      [this, text, caption, buttons, unanswered] {
        long style = (buttons == MessageButtons::kOk ? wxOK : wxYES_NO) |
                     IconFor(text, caption, buttons);
        if (buttons == MessageButtons::kYesNoDefaultNo) style |= wxNO_DEFAULT;
        wxGenericMessageDialog box(&frame_, WrapToWidth(text, frame_, frame_.FromDIP(kMessageWidth)),
                                   caption, style);
        box.SetIcons(ProgramIcons());
        // Without a Cancel button a dialog takes Escape and its close box as
        // its affirmative button, Yes: only the Yes button says Yes.
        if (buttons != MessageButtons::kOk) box.SetEscapeId(wxID_NO);
        wxDialog* outer = messageBox_;
        messageBox_ = &box;
        if (messageObserver_) messageObserver_(caption, text, buttons);
        int answer = box.ShowModal();
        messageBox_ = outer;
        if (afterMessageBoxes_) {
          if (outer) {
            if (outer->IsModal()) outer->EndModal(wxID_CANCEL);
          } else {
            // Queued, so that it runs once the handler below has returned.
            frame_.CallAfter(std::move(afterMessageBoxes_));
            afterMessageBoxes_ = nullptr;
          }
        }
        switch (answer) {
          case wxID_OK: return MessageAnswer::kOk;
          case wxID_YES: return MessageAnswer::kYes;
          case wxID_NO: return MessageAnswer::kNo;
          default: return unanswered;
        }
      },
      unanswered);
}

void WxControlSurface::OpenWaitDialog() {
  gate_.Call([this] {
    if (waitDialog_) return;  // never two at once
    waitDialog_ = new WaitDialog(&frame_);
    waitDialog_->Show();
  });
}

void WxControlSurface::CloseWaitDialog() {
  gate_.Call([this] {
    if (!waitDialog_) return;
    waitDialog_->Destroy();
    waitDialog_ = nullptr;
  });
}

bool WxControlSurface::IsWaitDialogOpen() {
  return gate_.Call<bool>([this] { return waitDialog_ != nullptr; }, false);
}

void WxControlSurface::SetWaitCaption(const std::wstring& caption) {
  gate_.Call([&] {
    if (waitDialog_) waitDialog_->SetTitle(caption);
  });
}

std::wstring WxControlSurface::WaitCaption() {
  return gate_.Call<std::wstring>(
      [this] { return waitDialog_ ? waitDialog_->GetTitle().ToStdWstring() : std::wstring(); },
      std::wstring());
}

// The worker that asks runs the presence probes and the pauses between them,
// so the UI thread never waits on the device; the dialog only shows the
// prompt and takes Escape.
ReplugResult WxControlSurface::RunReplugDialog(const ReplugWatcher::Probes& probes) {
  if (gate_.OnUiThread()) return ReplugResult::kNone;  // someone has to wait for the device
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  bool shown = gate_.Call<bool>(
      [this, cancelled] {
        if (replugDialog_) return false;
        replugCancelled_ = cancelled;
        replugDialog_ = new UsbReplugDialog(&frame_, cancelled);
        replugDialog_->Show();
        replugDialog_->SetFocus();
        return true;
      },
      false);
  // A window that is closing reports that the dialog did not run, so the page
  // does not start the update again behind it.
  if (!shown) return ReplugResult::kNone;
  ReplugWatcher watcher(probes, RealClock());
  ReplugOutcome outcome = RunReplugWatcher(
      watcher, RealClock(), [&] { return cancelled->load() || gate_.IsShutDown(); },
      [this](const ReplugPrompt& prompt) {
        gate_.Call([this, prompt] {
          if (replugDialog_) replugDialog_->ShowPrompt(prompt);
        });
      });
  gate_.Call([this] {
    if (!replugDialog_) return;
    replugDialog_->Destroy();
    replugDialog_ = nullptr;
    replugCancelled_.reset();
  });
  if (gate_.IsShutDown()) return ReplugResult::kNone;
  return outcome == ReplugOutcome::kOk ? ReplugResult::kOk : ReplugResult::kCancel;
}

void WxControlSurface::EnableCloseCommand(bool enabled) {
  closeEnabled_ = enabled;
  gate_.Call([this, enabled] { frame_.EnableCloseButton(enabled); });
}

void WxControlSurface::EndMessageBoxesThen(std::function<void()> then) {
  if (!messageBox_) {
    then();
    return;
  }
  afterMessageBoxes_ = std::move(then);
  // A box answered a moment ago is no longer modal but has not returned
  // yet: it runs `then` when it does, and may not be ended twice.
  if (messageBox_->IsModal()) messageBox_->EndModal(wxID_CANCEL);
}

void WxControlSurface::Shutdown() {
  gate_.Shutdown();
  if (messageBox_ && messageBox_->IsModal()) messageBox_->EndModal(wxID_CANCEL);
  if (replugCancelled_) *replugCancelled_ = true;
  if (waitDialog_) {
    waitDialog_->Destroy();
    waitDialog_ = nullptr;
  }
  if (replugDialog_) {
    replugDialog_->Destroy();
    replugDialog_ = nullptr;
  }
}

}  // namespace mzt
