#include "win32shell/TestHook.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <sstream>

#include "page/UploadDBDlg.h"
#include "platform/TextCodec.h"
#include "win32shell/MainSheet.h"
#include "win32shell/WindowText.h"

namespace mzt {

TestHook::TestHook(MainSheet& sheet)
    : channel_([&sheet](const std::string& command) { return Run(sheet, command); }) {
  sheet.Surface()->SetMessageObserver(
      [print = channel_.LinePrinter()](const std::wstring& caption, const std::wstring& text,
                                       MessageButtons buttons) {
        print("message\t" + WideToUtf8(caption) + "\t" + WideToUtf8(text) + "\t" +
              (buttons != MessageButtons::kOk ? "yesno" : "ok"));
      });
}

std::string TestHook::Run(MainSheet& sheet, const std::string& command) {
  std::istringstream words(command);
  std::string verb;
  words >> verb;
  int id = 0;
  std::string argument;
  if (verb == "click" || verb == "text" || verb == "enabled" || verb == "tab") words >> id;
  if (verb == "answer") words >> argument;
  Win32ControlSurface& surface = *sheet.Surface();
  UiCallGate& gate = surface.Gate();
  auto onUi = [&](std::function<std::string()> body) {
    return gate.Call<std::string>(std::move(body), "closed");
  };
  HWND window = sheet.Window();
  if (verb == "title") return onUi([&] { return "title\t" + WideToUtf8(WindowText(window)); });
  if (verb == "tabs")
    return onUi([&] {
      HWND tabs = PropSheet_GetTabControl(window);
      std::string line = "tabs";
      for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
        wchar_t text[64] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        TabCtrl_GetItem(tabs, i, &item);
        line += "\t" + WideToUtf8(text);
      }
      return line;
    });
  if (verb == "tab")
    return onUi([&] {
      PropSheet_SetCurSel(window, nullptr, id);
      return "tab\t" + std::to_string(id);
    });
  if (verb == "text") return "text\t" + std::to_string(id) + "\t" + WideToUtf8(surface.GetText(id));
  if (verb == "enabled")
    return onUi([&] {
      return "enabled\t" + std::to_string(id) + "\t" + (IsWindowEnabled(surface.Control(id)) ? "1" : "0");
    });
  // Whether the close command of the system menu (and the close box) is usable.
  if (verb == "closebox")
    return onUi([&] {
      UINT state = GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND);
      return std::string("closebox\t") + ((state & (MF_GRAYED | MF_DISABLED)) ? "0" : "1");
    });
  // The replug dialog's prompt, empty while it is not shown.
  if (verb == "replug") return "replug\t" + WideToUtf8(surface.ReplugPromptText());
  if (verb == "click") {
    // Queued, not waited for: the click may open a message box of its own.
    gate.Post([&surface, id] {
      HWND button = surface.Control(id);
      if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button)) return;
      SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
    });
    return "click\t" + std::to_string(id);
  }
  if (verb == "answer")
    return onUi([&] {
      HWND box = surface.OpenMessageBox();
      if (!box) return std::string("answer\tnone");
      EndDialog(box, argument == "yes" ? IDYES : argument == "no" ? IDNO : IDOK);
      return "answer\t" + argument;
    });
  // Whether no flow runs (a query's last steps run after its results show).
  if (verb == "idle")
    return onUi([&] {
      return std::string(sheet.Sheet()->Page().IsFlowRunning() ? "idle\t0" : "idle\t1");
    });
  // As the title bar's close box: the system menu's Close command.
  if (verb == "close")
    return onUi([&] {
      SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return std::string(sheet.CloseAccepted() ? "close\tclosing" : "close\tvetoed");
    });
  return "unknown\t" + command;
}

}  // namespace mzt
