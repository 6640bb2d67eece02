// Windows grants a COM port to any user and has neither udev nor
// ModemManager: what is left to tell is whether the port exists, who runs
// the program and which USB device the port belongs to.
#include "platform/DeviceAccess.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

#include "platform/TextCodec.h"

namespace mzt {
namespace {

// "COM3" of "COM3", "\\.\COM3" or "\\.\com3".
std::wstring PortName(const std::string& path) {
  std::wstring name = Utf8ToWide(path);
  if (name.rfind(L"\\\\.\\", 0) == 0) name.erase(0, 4);
  std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return std::towupper(c); });
  return name;
}

}  // namespace

PortPermission InspectPortPermission(const std::string& path) {
  PortPermission permission;
  wchar_t target[512];
  permission.exists = QueryDosDeviceW(PortName(path).c_str(), target, 512) != 0;
  permission.mayOpen = permission.exists;
  return permission;
}

std::optional<UsbSerialPort> UsbSerialPortOf(const std::string& path) {
  std::wstring wanted = PortName(path);
  for (const UsbSerialPort& port : EnumerateUsbSerialPorts().ports)
    if (PortName(port.portName) == wanted) return port;
  return std::nullopt;
}

// Windows does not tell who holds a COM port without listing every handle.
std::vector<RunningProgram> ProgramsHoldingPort(const std::string&) { return {}; }

bool IsProgramRunning(const std::string& name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  std::wstring wanted = Utf8ToWide(name) + L".exe";
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool running = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !running;
       more = Process32NextW(snapshot, &entry))
    running = _wcsicmp(entry.szExeFile, wanted.c_str()) == 0;
  CloseHandle(snapshot);
  return running;
}

bool IsPortIgnoredByModemManager(const std::string&) { return true; }

std::optional<std::string> InstalledUdevRule() { return std::nullopt; }

std::string UdevRuleCopy() { return std::string(); }

std::string CurrentUserName() {
  wchar_t name[257];
  DWORD size = 257;
  return GetUserNameW(name, &size) ? WideToUtf8(name) : std::string();
}

}  // namespace mzt
