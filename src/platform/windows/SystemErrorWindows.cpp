#include <windows.h>
#include <winhttp.h>

#include "common/TextFill.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

// WinHTTP's codes (12001 to 12186) have their texts in its own module.
constexpr DWORD kFirstInternetError = 12000;
constexpr DWORD kLastInternetError = 12999;

// Where the system has no text for a WinHTTP code (Wine), the usual ones.
const char* InternetErrorText(DWORD code) {
  switch (code) {
    case ERROR_WINHTTP_TIMEOUT: return Tr("The operation timed out.");
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return Tr("The server name could not be resolved.");
    case ERROR_WINHTTP_CANNOT_CONNECT: return Tr("A connection with the server could not be established.");
    case ERROR_WINHTTP_CONNECTION_ERROR: return Tr("The connection with the server was reset or terminated.");
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return Tr("The server response could not be parsed.");
    case ERROR_WINHTTP_REDIRECT_FAILED: return Tr("The redirection failed.");
    case ERROR_WINHTTP_SECURE_FAILURE: return Tr("A security error occurred in the secure channel.");
    default: return nullptr;
  }
}

}  // namespace

std::string SystemErrorText(int code) {
  const DWORD id = static_cast<DWORD>(code);
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS;
  HMODULE source = nullptr;
  if (id >= kFirstInternetError && id <= kLastInternetError) {
    source = ::GetModuleHandleW(L"winhttp.dll");
    if (source) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  }
  wchar_t* text = nullptr;
  DWORD length = ::FormatMessageW(flags, source, id, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                  nullptr);
  if (length == 0 || !text) {
    if (const char* known = InternetErrorText(id)) return known;
    return Fill(Tr("Unknown error {1}"), {std::to_string(id)});
  }
  std::wstring wide(text, length);
  ::LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' '))
    wide.pop_back();
  return WideToUtf8(wide);
}

int LastSystemError() { return static_cast<int>(::GetLastError()); }

}  // namespace mzt
