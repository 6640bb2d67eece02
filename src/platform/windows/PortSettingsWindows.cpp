// "MZTConfig.ini" through the system's profile functions, which compare
// section and key names without case. Compiled into mzt_common on Windows.
#include <windows.h>

#include "common/PortSettings.h"

namespace mzt {

PortSettings LoadPortSettings(const std::filesystem::path& iniPath) {
  PortSettings settings;
  const wchar_t* file = iniPath.c_str();
  // A missing file or key gives the defaults.
  wchar_t port[kMaxPortNameLength + 1] = {};
  std::wstring fallback(settings.portNumber.begin(), settings.portNumber.end());
  DWORD length = ::GetPrivateProfileStringW(L"Comm. Port", L"PortNumber", fallback.c_str(), port,
                                            kMaxPortNameLength + 1, file);
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, port, static_cast<int>(length), nullptr, 0,
                                    nullptr, nullptr);
  settings.portNumber.assign(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, port, static_cast<int>(length), settings.portNumber.data(),
                        bytes, nullptr, nullptr);
  settings.baudrate = static_cast<int>(
      ::GetPrivateProfileIntW(L"Comm. Port", L"Baudrate", settings.baudrate, file));
  return settings;
}

}  // namespace mzt
