// The sending side of WM_COPYDATA; the window program receives it in its
// own window procedure.
#include <windows.h>

#include "common/ModuleVersion.h"
#include "common/TextFill.h"
#include "common/Timing.h"
#include "platform/CopyDataChannel.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace {


struct Search {
  std::wstring prefix;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  wchar_t title[256];
  int length = ::GetWindowTextW(window, title, 256);
  if (length > 0 && std::wstring_view(title, static_cast<size_t>(length)).starts_with(search.prefix)) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

// The window's title: the same build's program shows exactly this one.
std::filesystem::path CopyDataSocketPath() { return Utf8ToWide(ProgramTitle()); }

Result<bool> SendCopyData(const std::filesystem::path& title, uint32_t identifier,
                          std::span<const uint8_t> data) {
  if (data.size() > kMaxCopyDataBytes)
    return Error{ErrorCode::kTooLarge, Fill(Tr("the request is {1} bytes; at most {2} are carried"),
                                            {std::to_string(data.size()), std::to_string(kMaxCopyDataBytes)})};
  HWND window = ::FindWindowW(nullptr, title.c_str());
  if (!window) {
    // Another version of the program: its title differs only after the name.
    Search search{L"MZT Utility Online", nullptr};
    ::EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    window = search.found;
  }
  if (!window)
    return Error{ErrorCode::kNotFound,
                 Fill(Tr("no desktop program is running (no window titled \"{1}\")"), {title.string()})};
  COPYDATASTRUCT message{};
  message.dwData = identifier;
  message.cbData = static_cast<DWORD>(data.size());
  message.lpData = const_cast<uint8_t*>(data.data());
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&message),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, static_cast<UINT>(ProductionMilliseconds(Delay::kCopyDataHungWindow)), &answer)) {
    DWORD code = ::GetLastError();
    return Error{ErrorCode::kIo, Tr("the desktop program did not answer"), static_cast<int>(code)};
  }
  return answer != 0;
}

}  // namespace mzt
