#include "shell/TestHook.h"

#include <cstdlib>
#include <cstdio>
#include <sstream>
#include <thread>

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/msgdlg.h>

#include "page/UploadDBDlg.h"
#include "shell/MainSheet.h"
#include "shell/StallMeter.h"
#include "shell/UsbReplugDialog.h"
#include "shell/WaitDialog.h"

namespace mzt {
namespace {

std::string Rect(const wxRect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
         std::to_string(r.height);
}

void AddButtons(const wxWindow& parent, std::string& labels) {
  for (const wxWindow* child : parent.GetChildren()) {
    if (auto* button = wxDynamicCast(child, wxButton); button && button->IsShown())
      labels += (labels.empty() ? "" : ",") + button->GetLabelText().utf8_string();
    AddButtons(*child, labels);
  }
}

const char* IconName(long style) {
  switch (style & wxICON_MASK) {
    case wxICON_QUESTION: return "question";
    case wxICON_ERROR: return "error";
    case wxICON_WARNING: return "warning";
    case wxICON_INFORMATION: return "information";
    default: return "none";
  }
}

// Times the please-wait dialog was seen minimised since "iconize wait".
int waitMinimised = 0;

// How often an answer looks again for a box's modal loop, 10 ms apart.
constexpr int kModalTries = 500;

}  // namespace

TestHook::TestHook(MainSheet& sheet, StallMeter* stallMeter)
    : channel_([&sheet, stallMeter](const std::string& command) {
        return Run(sheet, stallMeter, command);
      }) {
  sheet.Surface().SetMessageObserver(
      [print = channel_.LinePrinter()](const wxString& caption, const wxString& text,
                                       MessageButtons buttons) {
        print("message\t" + caption.utf8_string() + "\t" + text.utf8_string() + "\t" +
              (buttons != MessageButtons::kOk ? "yesno" : "ok"));
      });
}

std::string TestHook::Run(MainSheet& sheet, StallMeter* stallMeter, const std::string& command) {
  std::istringstream words(command);
  std::string verb;
  words >> verb;
  int id = 0;
  std::string argument;
  if (verb == "click" || verb == "text" || verb == "enabled" || verb == "tab" || verb == "focus" ||
      verb == "list" || verb == "select" || verb == "popup")
    words >> id;
  int index = 0;
  if (verb == "select" || verb == "popup") words >> index;
  if (verb == "answer" || verb == "iconize") words >> argument;
  UiCallGate& gate = sheet.Surface().Gate();
  auto onUi = [&](std::function<std::string()> body) {
    return gate.Call<std::string>(std::move(body), "closed");
  };
  if (verb == "title") return onUi([&] { return "title\t" + sheet.GetTitle().utf8_string(); });
  if (verb == "tabs")
    return onUi([&] {
      std::string tabs = "tabs";
      for (size_t i = 0; i < sheet.Tabs().GetPageCount(); ++i)
        tabs += "\t" + sheet.Tabs().GetPageText(i).utf8_string();
      return tabs;
    });
  if (verb == "tab")
    return onUi([&] {
      sheet.Tabs().ChangeSelection(static_cast<size_t>(id));
      wxBookCtrlEvent changed(wxEVT_NOTEBOOK_PAGE_CHANGED, sheet.Tabs().GetId(), id);
      changed.SetEventObject(&sheet.Tabs());
      sheet.Tabs().ProcessWindowEvent(changed);
      return std::string("tab\t") + std::to_string(id);
    });
  if (verb == "text")
    return "text\t" + std::to_string(id) + "\t" +
           wxString(sheet.Surface().GetText(id)).utf8_string();
  if (verb == "enabled")
    return onUi([&] {
      wxWindow* control = sheet.Surface().Control(id);
      return "enabled\t" + std::to_string(id) + "\t" + (control && control->IsEnabled() ? "1" : "0");
    });
  if (verb == "click") {
    // Queued, not waited for: the click may open a message box of its own.
    gate.Post([&sheet, id] {
      auto* button = wxDynamicCast(sheet.Surface().Control(id), wxButton);
      if (!button || !button->IsEnabled()) return;
      wxCommandEvent click(wxEVT_BUTTON, id);
      click.SetEventObject(button);
      button->ProcessWindowEvent(click);
    });
    return "click\t" + std::to_string(id);
  }
  if (verb == "answer") {
    // A box is announced just before its modal loop starts, and a busy
    // machine may run this in between: ending it then would be refused.
    for (int tries = 0; tries < kModalTries; ++tries) {
      std::string reply = onUi([&] {
        wxDialog* box = sheet.Surface().OpenMessageBox();
        if (!box) return std::string("answer\tnone");
        if (!box->IsModal()) return std::string();
        if (argument == "escape") {
          wxKeyEvent escape(wxEVT_CHAR_HOOK);
          escape.m_keyCode = WXK_ESCAPE;
          escape.SetEventObject(box);
          box->ProcessWindowEvent(escape);
        } else if (argument == "close") {
          box->Close();  // as the window manager's close box
        } else {
          box->EndModal(argument == "yes" ? wxID_YES : argument == "no" ? wxID_NO : wxID_OK);
        }
        return "answer\t" + argument;
      });
      if (!reply.empty()) return reply;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::string("answer\tnone");
  }
  // Whether no flow runs (a query's last steps run after its results show).
  if (verb == "idle")
    return onUi([&] { return std::string(sheet.Sheet().Page().IsFlowRunning() ? "idle\t0" : "idle\t1"); });
  // Where the please-wait bar stands, or none while no wait dialog is up.
  if (verb == "bar")
    return onUi([] {
      auto* bar = wxDynamicCast(wxWindow::FindWindowById(WaitDialog::kBarId), wxGauge);
      return bar ? "bar\t" + std::to_string(bar->GetValue()) : std::string("bar\tnone");
    });
  // The open box: its icon, its buttons' labels and its size in pixels.
  if (verb == "box")
    return onUi([&] {
      auto* box = dynamic_cast<wxMessageDialogBase*>(sheet.Surface().OpenMessageBox());
      if (!box) return std::string("box\tnone");
      std::string labels;
      AddButtons(*box, labels);
      return std::string("box\t") + IconName(box->GetMessageDialogStyle()) + "\t" + labels + "\t" +
             std::to_string(box->GetSize().x) + "," + std::to_string(box->GetSize().y) + "\t" +
             (box->GetIcons().IsEmpty() ? "default-icon" : "program-icon");
    });
  // "focus" names the control that has the keyboard focus; "focus ID" gives it.
  if (verb == "focus")
    return onUi([&] {
      if (wxWindow* control = sheet.Surface().Control(id)) control->SetFocus();
      wxWindow* focus = wxWindow::FindFocus();
      return "focus\t" + std::to_string(focus ? focus->GetId() : 0);
    });
  // The please-wait dialog: title, client area, the bar (in its client area),
  // the dialog units' base (pixels for 400 x 800), whether it resizes or
  // minimises, its centre's distance from the main window's, its icon,
  // whether it is minimised, and how often it was since "iconize wait".
  if (verb == "wait")
    return onUi([&] {
      wxWindow* bar = wxWindow::FindWindowById(WaitDialog::kBarId);
      auto* dialog = bar ? wxDynamicCast(bar->GetParent(), wxDialog) : nullptr;
      if (!dialog) return std::string("wait\tnone");
      wxSize base = dialog->ConvertDialogToPixels(wxSize(400, 800));
      long style = dialog->GetWindowStyle();
      wxPoint offset = dialog->GetScreenRect().GetPosition() +
                       wxPoint(dialog->GetSize().x / 2, dialog->GetSize().y / 2) -
                       (sheet.GetScreenRect().GetPosition() +
                        wxPoint(sheet.GetSize().x / 2, sheet.GetSize().y / 2));
      return "wait\t" + dialog->GetTitle().utf8_string() + "\t" +
             Rect(wxRect(wxPoint(), dialog->GetClientSize())) + "\t" + Rect(bar->GetRect()) +
             "\t" + std::to_string(base.x) + "," + std::to_string(base.y) + "\t" +
             ((style & (wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX)) ? "sizable" : "fixed") +
             "\t" + std::to_string(std::abs(offset.x)) + "," + std::to_string(std::abs(offset.y)) +
             "\t" + (dialog->GetIcons().IsEmpty() ? "default-icon" : "program-icon") + "\t" +
             (dialog->IsIconized() ? "iconized" : "shown") + "\t" + std::to_string(waitMinimised);
    });
  // The replug dialog's prompt, or none while it does not show.
  if (verb == "replug")
    return onUi([&] {
      const UsbReplugDialog* dialog = sheet.Surface().OpenReplugDialog();
      return "replug\t" + (dialog ? dialog->PromptText().utf8_string() : std::string("none"));
    });
  // A drop-down list as the user reads it: the selected entry, then every entry.
  if (verb == "list")
    return onUi([&] {
      auto* list = wxDynamicCast(sheet.Surface().Control(id), wxComboBox);
      if (!list) return std::string("list\tnone");
      std::string entries = "list\t" + std::to_string(id) + "\t" + std::to_string(list->GetSelection());
      for (const wxString& entry : list->GetStrings()) entries += "\t" + entry.utf8_string();
      return entries;
    });
  // Chooses entry N of a drop-down list, as a click in it does.
  if (verb == "select")
    return onUi([&] {
      auto* list = wxDynamicCast(sheet.Surface().Control(id), wxComboBox);
      if (!list || !list->IsEnabled() || index < 0 || index >= static_cast<int>(list->GetCount()))
        return std::string("select\tnone");
      list->SetSelection(index);
      wxCommandEvent chosen(wxEVT_COMBOBOX, id);
      chosen.SetEventObject(list);
      chosen.SetInt(index);
      list->ProcessWindowEvent(chosen);
      return "select\t" + std::to_string(id) + "\t" + std::to_string(index);
    });
  // "popup ID 1" opens a drop-down list on screen, "popup ID 0" closes it.
  if (verb == "popup")
    return onUi([&] {
      auto* list = wxDynamicCast(sheet.Surface().Control(id), wxComboBox);
      if (!list) return std::string("popup\tnone");
      if (index)
        list->Popup();
      else
        list->Dismiss();
      return "popup\t" + std::to_string(id) + "\t" + std::to_string(index);
    });
  // The main window: minimised or not ("iconize" minimises it, "iconize
  // wait" the please-wait dialog, as a title bar's button does).
  if (verb == "iconize")
    return onUi([&] {
      wxTopLevelWindow* window = &sheet;
      if (argument == "wait") {
        wxWindow* bar = wxWindow::FindWindowById(WaitDialog::kBarId);
        window = bar ? wxDynamicCast(bar->GetParent(), wxTopLevelWindow) : nullptr;
        if (!window) return std::string("iconize\tnone");
        waitMinimised = 0;
        window->Bind(wxEVT_ICONIZE, [](wxIconizeEvent& event) {
          if (event.IsIconized()) ++waitMinimised;
          event.Skip();
        });
      }
      window->Iconize(true);
      return std::string("iconize\tsent");
    });
  if (verb == "window")
    return onUi([&] { return std::string(sheet.IsIconized() ? "window\ticonized" : "window\tnormal"); });
  if (verb == "stall")
    return onUi([&] {
      if (!stallMeter) return std::string("stall\toff");
      char text[32];
      std::snprintf(text, sizeof text, "stall\t%.1f", stallMeter->TakeLongest());
      return std::string(text);
    });
  if (verb == "close")
    return onUi([&] { return std::string(sheet.Close(false) ? "close\tclosing" : "close\tvetoed"); });
  return "unknown\t" + command;
}

}  // namespace mzt
