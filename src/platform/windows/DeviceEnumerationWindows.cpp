#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include "common/TextFill.h"
#include "platform/DeviceEnumeration.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {
namespace {

constexpr DWORD kPropertyBytes = 512;

bool ReadProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property, std::wstring& out) {
  wchar_t buffer[kPropertyBytes / sizeof(wchar_t)] = {};
  DWORD type = 0;
  if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                           nullptr))
    return false;
  out = buffer;
  return true;
}

bool ReadPortName(HDEVINFO devices, SP_DEVINFO_DATA& device, std::wstring& out) {
  HKEY key = ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                    KEY_QUERY_VALUE);
  if (key == INVALID_HANDLE_VALUE) return false;
  wchar_t buffer[kPropertyBytes / sizeof(wchar_t)] = {};
  DWORD size = sizeof buffer - 2;
  DWORD type = 0;
  LSTATUS status = ::RegQueryValueExW(key, L"PortName", nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer), &size);
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  out = buffer;
  return true;
}

// Whether a value name of the serial-port map names the first USB serial
// device's kernel object.
bool SerialMapHoldsFirstUsbPort() {
  HKEY key = nullptr;
  // Reading is all it takes; asking for more would fail for every user
  // without administrator rights and hide the device from them.
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  bool found = false;
  for (DWORD index = 0; !found; ++index) {
    wchar_t name[260];
    DWORD length = 260;
    LSTATUS status =
        ::RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;  // a longer name is not the one
    if (status != ERROR_SUCCESS) break;
    found = std::wstring_view(name, length).find(L"\\Device\\USBSER000") != std::wstring_view::npos;
  }
  ::RegCloseKey(key);
  return found;
}

// The USB serial number is the last part of a USB device's instance id
// ("USB\VID_2341&PID_0043\85734323"); Windows makes up one with '&' in it
// for a device that has none.
std::string ReadSerialNumber(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  wchar_t id[512];
  if (!::SetupDiGetDeviceInstanceIdW(devices, &device, id, 512, nullptr)) return {};
  std::wstring_view instance(id);
  if (instance.rfind(L"USB\\", 0) != 0) return {};
  std::size_t slash = instance.rfind(L'\\');
  std::wstring_view last = instance.substr(slash + 1);
  if (last.empty() || last.find(L'&') != std::wstring_view::npos) return {};
  return WideToUtf8(std::wstring(last));
}

}  // namespace

UsbSerialPortList EnumerateUsbSerialPorts() {
  UsbSerialPortList list;
  HDEVINFO devices = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) {
    list.listError = static_cast<int>(::GetLastError());
    return list;
  }
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!::SetupDiEnumDeviceInfo(devices, index, &device)) {
      DWORD err = ::GetLastError();
      if (err != ERROR_NO_MORE_ITEMS) list.walkError = static_cast<int>(err);
      break;
    }
    std::wstring friendly, description, port;
    if (!ReadProperty(devices, device, SPDRP_FRIENDLYNAME, friendly) ||
        !ReadProperty(devices, device, SPDRP_DEVICEDESC, description) ||
        !ReadPortName(devices, device, port))
      continue;
    // The first of the location paths names the socket ("...#USBROOT(0)#USB(2)").
    std::wstring location;
    ReadProperty(devices, device, SPDRP_LOCATION_PATHS, location);
    list.ports.push_back({WideToUtf8(port), WideToUtf8(friendly), ReadSerialNumber(devices, device),
                          WideToUtf8(location), std::string()});
  }
  ::SetupDiDestroyDeviceInfoList(devices);
  return list;
}

bool FirstUsbSerialPortExists() { return SerialMapHoldsFirstUsbPort(); }

bool IsCharacterDevice(const std::string& path) {
  // A port name the system knows: "COM7" has a DOS device behind it.
  std::wstring name = Utf8ToWide(path);
  if (name.rfind(L"\\\\.\\", 0) == 0) name.erase(0, 4);
  if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos) return false;
  wchar_t target[1024];
  if (::QueryDosDeviceW(name.c_str(), target, 1024) != 0) return true;
  // Some ports have no DOS device name (Wine's links to a tty): ask the
  // device itself, without access rights, so nothing is read or changed. A
  // port held by another program refuses even that, and still exists.
  HANDLE handle = ::CreateFileW((L"\\\\.\\" + name).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD err = ::GetLastError();
    return err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION;
  }
  DWORD type = ::GetFileType(handle);
  ::CloseHandle(handle);
  return type == FILE_TYPE_CHAR;
}

std::string DeviceListingErrorText(const UsbSerialPortList& list) {
  if (list.listError != 0)
    return Fill(Tr("the system's list of ports cannot be read: {1}"), {SystemErrorText(list.listError)});
  if (list.walkError != 0)
    return Fill(Tr("reading the system's list of ports stopped: {1}"), {SystemErrorText(list.walkError)});
  return "";
}

std::string DeviceListingFix() {
  return Tr("open the Device Manager and check that the detector is listed under Ports (COM & LPT)");
}

std::string PortNameFromUser(const std::string& text) {
  if (text.rfind("\\\\.\\", 0) == 0) return text.substr(4);
  return text;
}

}  // namespace mzt
