#include "devsim/FakeSysfs.h"

#include <atomic>
#include <fstream>

namespace mzt::devsim {
namespace {

namespace fs = std::filesystem;

void WriteAttribute(const fs::path& path, const std::string& value, std::error_code& ec) {
  if (ec) return;
  std::ofstream out(path, std::ios::trunc);
  out << value << '\n';
  if (!out.flush()) ec = std::make_error_code(std::errc::io_error);
}

void Link(const fs::path& target, const fs::path& link, std::error_code& ec) {
  if (ec) return;
  fs::remove(link, ec);
  fs::create_symlink(target, link, ec);
}

// One bus for every simulated device of the process; 1 is its root hub.
std::atomic<int> lastDevnum{1};

}  // namespace

FakeSysfs::FakeSysfs(fs::path root, std::string ttyName, std::string serial, std::string usbPath)
    : root_(std::move(root)),
      ttyName_(std::move(ttyName)),
      serial_(std::move(serial)),
      usbPath_(std::move(usbPath)) {}

Result<void> FakeSysfs::Plug(const std::string& slavePath) {
  Unplug();
  std::error_code ec;
  fs::path usb = UsbDevice();
  fs::path interface = usb / (usbPath_ + ":1.0");
  fs::path tty = interface / "tty" / ttyName_;
  fs::create_directories(root_ / "bus" / "usb" / "drivers" / "cdc_acm", ec);
  if (!ec) fs::create_directories(tty, ec);
  if (!ec) fs::create_directories(root_ / "class" / "tty", ec);
  WriteAttribute(usb / "product", kProduct, ec);
  WriteAttribute(usb / "manufacturer", "ATMEL", ec);
  WriteAttribute(usb / "idVendor", "03eb", ec);
  WriteAttribute(usb / "idProduct", "2404", ec);
  WriteAttribute(usb / "serial", serial_, ec);
  WriteAttribute(usb / "busnum", "1", ec);
  WriteAttribute(usb / "devnum", std::to_string(++lastDevnum), ec);
  WriteAttribute(interface / "interface", "CDC Abstract Control Model (ACM)", ec);
  WriteAttribute(interface / "bInterfaceClass", "02", ec);
  WriteAttribute(interface / "bInterfaceNumber", "00", ec);
  Link("../../../../bus/usb/drivers/cdc_acm", interface / "driver", ec);
  std::string devName = slavePath.starts_with("/dev/") ? slavePath.substr(5) : slavePath;
  WriteAttribute(tty / "uevent", "DEVNAME=" + devName, ec);
  Link("../..", tty / "device", ec);
  Link("../../../../../../class/tty", tty / "subsystem", ec);
  // Last, as the kernel announces a port once it is complete.
  Link(fs::path("../../devices/usb1") / usbPath_ / (usbPath_ + ":1.0") / "tty" / ttyName_, ClassEntry(), ec);
  if (ec) {
    Error error{ErrorCode::kIo, "building the sysfs tree in " + root_.string() + ": " + ec.message()};
    Unplug();
    return error;
  }
  return Success();
}

void FakeSysfs::Unplug() {
  std::error_code ec;
  fs::remove(ClassEntry(), ec);
  fs::remove_all(UsbDevice(), ec);
}

}  // namespace mzt::devsim
