// "MZTConfig.ini" through the system's profile functions, which compare
// section and key names without case. Compiled into mzt_common on Windows.
#include <windows.h>

#include "common/PortSettings.h"

namespace mzt {
namespace {

// A missing file or key gives the fallback; the value is cut to `capacity`.
std::string ReadText(const wchar_t* section, const wchar_t* key, const std::string& fallback,
                     DWORD capacity, const wchar_t* file) {
  std::wstring wideFallback(fallback.begin(), fallback.end());
  std::wstring value(capacity + 1, L'\0');
  DWORD length = ::GetPrivateProfileStringW(section, key, wideFallback.c_str(), value.data(),
                                            capacity + 1, file);
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(length), nullptr, 0,
                                    nullptr, nullptr);
  std::string text(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(length), text.data(), bytes,
                        nullptr, nullptr);
  return text;
}

// Room for any address a user would give.
constexpr DWORD kMaxServerLength = 2048;

}  // namespace

PortSettings LoadPortSettings(const std::filesystem::path& iniPath) {
  PortSettings settings;
  const wchar_t* file = iniPath.c_str();
  settings.portNumber =
      ReadText(L"Comm. Port", L"PortNumber", settings.portNumber, kMaxPortNameLength, file);
  settings.baudrate = static_cast<int>(
      ::GetPrivateProfileIntW(L"Comm. Port", L"Baudrate", settings.baudrate, file));
  settings.updateServer = ReadText(L"Update", L"Server", "", kMaxServerLength, file);
  return settings;
}

}  // namespace mzt
