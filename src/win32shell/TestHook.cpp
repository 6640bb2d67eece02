#include "win32shell/TestHook.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <sstream>
#include <utility>

#include "page/UploadDBDlg.h"
#include "platform/TextCodec.h"
#include "win32shell/MainSheet.h"
#include "win32shell/ProgramIcon.h"
#include "win32shell/WindowText.h"

namespace mzt {
namespace {

// A control of the speed-camera page, else of the About page once shown.
HWND FindControl(MainSheet& sheet, int id) {
  if (HWND control = sheet.Surface()->Control(id)) return control;
  HWND about = PropSheet_IndexToHwnd(sheet.Window(), 1);
  return about ? GetDlgItem(about, id) : nullptr;
}

// The width the widest line of `text` needs in the control's font, and the
// width the control gives its text (an edit's formatting rectangle).
std::pair<int, int> TextWidths(HWND control, const std::wstring& text) {
  HDC dc = GetDC(control);
  auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
  int needed = 0;
  std::wistringstream lines(text);
  for (std::wstring line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    SIZE size{};
    GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
    needed = std::max<int>(needed, size.cx);
  }
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  RECT area{};
  if (lstrcmpiW(className, L"Edit") == 0)
    SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
  else
    GetClientRect(control, &area);
  return {needed, area.right - area.left};
}

// The visible windows of this process that do not carry the program's icon
// in both sizes.
std::string WindowsWithoutIcon(int& count) {
  struct Search {
    int count = 0;
    std::string missing;
  } search;
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
        auto& found = *reinterpret_cast<Search*>(data);
        ++found.count;
        auto icon = [window](WPARAM which) {
          return reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
        };
        if (icon(ICON_BIG) != ProgramIcon(false) || icon(ICON_SMALL) != ProgramIcon(true))
          found.missing += "\t" + WideToUtf8(WindowText(window));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  count = search.count;
  return search.missing;
}

}  // namespace

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
  if (verb == "click" || verb == "text" || verb == "enabled" || verb == "tab" || verb == "fits")
    words >> id;
  if (verb == "answer") words >> argument;
  if (verb == "fits" && std::getline(words >> std::ws, argument)) argument = " " + argument;
  Win32ControlSurface& surface = *sheet.Surface();
  UiCallGate& gate = surface.Gate();
  auto onUi = [&](std::function<std::string()> body) {
    return gate.Call<std::string>(std::move(body), "closed");
  };
  auto onUiWide = [&](std::function<std::wstring()> body) {
    return gate.Call<std::wstring>(std::move(body), std::wstring());
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
  if (verb == "text") {
    std::wstring text = surface.Control(id) ? surface.GetText(id) : onUiWide([&] {
      HWND control = FindControl(sheet, id);
      return control ? WindowText(control) : std::wstring();
    });
    return "text\t" + std::to_string(id) + "\t" + WideToUtf8(text);
  }
  // Whether TEXT (else the control's own) fits the control in its font:
  // "fits<TAB>ID<TAB>1|0<TAB>needed/available" in pixels.
  if (verb == "fits")
    return onUi([&] {
      HWND control = FindControl(sheet, id);
      if (!control) return "fits\t" + std::to_string(id) + "\tnone";
      std::wstring text = argument.empty() ? WindowText(control) : Utf8ToWide(argument.substr(1));
      auto [needed, available] = TextWidths(control, text);
      return "fits\t" + std::to_string(id) + "\t" + (needed <= available ? "1" : "0") + "\t" +
             std::to_string(needed) + "/" + std::to_string(available);
    });
  // How many windows this process shows, and the captions of those without
  // the program's icon: "icon<TAB>N[<TAB>caption...]".
  if (verb == "icon")
    return onUi([&] {
      int count = 0;
      std::string missing = WindowsWithoutIcon(count);
      return "icon\t" + std::to_string(count) + missing;
    });
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
