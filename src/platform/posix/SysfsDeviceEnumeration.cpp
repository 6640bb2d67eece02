#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/DeviceEnumeration.h"
#include "common/TextFill.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

std::string ReadFirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  if (in) std::getline(in, line);
  return line;
}

// ttyACM2 before ttyACM10: compare the text part, then the number.
bool NaturalLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    size_t digits = s.find_last_not_of("0123456789") + 1;
    long number = digits < s.size() ? std::strtol(s.c_str() + digits, nullptr, 10) : -1;
    return std::make_pair(s.substr(0, digits), number);
  };
  return split(a) < split(b);
}

fs::path DeviceNodeFolder() {
  const char* root = std::getenv("MZT_DEVICE_ROOT");
  return root && *root ? fs::path(root) : fs::path("/dev");
}

}  // namespace

fs::path SysfsRoot() {
  const char* root = std::getenv("MZT_SYSFS_ROOT");
  return root && *root ? fs::path(root) : fs::path("/sys");
}

fs::path UdevRoot() {
  const char* root = std::getenv("MZT_UDEV_ROOT");
  return root && *root ? fs::path(root) : fs::path("/");
}

std::string DeviceListingErrorText(const UsbSerialPortList& list) {
  std::string ttyClass = (SysfsRoot() / "class" / "tty").string();
  if (list.listError != 0) return Fill(Tr("cannot list {1}: {2}"), {ttyClass, SystemErrorText(list.listError)});
  if (list.walkError != 0) return Fill(Tr("listing {1} stopped: {2}"), {ttyClass, SystemErrorText(list.walkError)});
  return "";
}

std::string DeviceListingFix() { return Fill(Tr("check that {1} is mounted and readable"), {SysfsRoot().string()}); }

UsbSerialPortList EnumerateUsbSerialPorts() {
  UsbSerialPortList list;
  fs::path ttyClass = SysfsRoot() / "class" / "tty";
  std::error_code ec;
  fs::directory_iterator it(ttyClass, ec);
  if (ec) {
    list.listError = ec.value();
    return list;
  }
  std::vector<std::string> names;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) {
      list.walkError = ec.value();
      break;
    }
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end(), NaturalLess);

  std::vector<UsbSerialPort>& ports = list.ports;
  for (const auto& name : names) {
    // A USB tty's device link leads to its USB interface; the interface's
    // parent is the USB device with its product string.
    fs::path interface = fs::canonical(ttyClass / name / "device", ec);
    if (ec) continue;
    bool isUsbInterface = fs::exists(interface / "bInterfaceNumber", ec) ||
                          fs::exists(interface / "interface", ec);
    if (!isUsbInterface) continue;
    std::string friendly = ReadFirstLine(interface.parent_path() / "product");
    if (friendly.empty()) friendly = ReadFirstLine(interface / "interface");
    if (friendly.empty()) continue;
    // The kernel numbers a USB device anew each time it is attached.
    fs::path usb = interface.parent_path();
    std::string devnum = ReadFirstLine(usb / "devnum");
    std::string attachment = devnum.empty() ? std::string() : ReadFirstLine(usb / "busnum") + ":" + devnum;
    ports.push_back({(DeviceNodeFolder() / name).string(), friendly, ReadFirstLine(usb / "serial"), usb.filename().string(),
                     attachment});
  }
  return list;
}

bool FirstUsbSerialPortExists() {
  std::error_code ec;
  return fs::exists(SysfsRoot() / "class" / "tty" / "ttyACM0", ec);
}

std::string PortNameFromUser(const std::string& text) {
  return text.find('/') == std::string::npos ? "/dev/" + text : text;
}

bool IsCharacterDevice(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace mzt
