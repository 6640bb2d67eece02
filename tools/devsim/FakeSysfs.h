#pragma once
// A sysfs tree in which the simulated device shows up as a USB CDC ACM port
// while it is plugged in, laid out like the kernel's (tools/devsim/README.md):
//
//   <root>/class/tty/<tty>  ->  ../../devices/usb1/1-1/1-1:1.0/tty/<tty>
//   <root>/devices/usb1/1-1/{product,manufacturer,idVendor,idProduct,serial,busnum,devnum}
//   <root>/devices/usb1/1-1/1-1:1.0/{interface,bInterfaceClass,bInterfaceNumber}
//   <root>/devices/usb1/1-1/1-1:1.0/driver  ->  ../../../../bus/usb/drivers/cdc_acm
//   <root>/devices/usb1/1-1/1-1:1.0/tty/<tty>/{uevent}
//   <root>/devices/usb1/1-1/1-1:1.0/tty/<tty>/device  ->  ../..
//   <root>/devices/usb1/1-1/1-1:1.0/tty/<tty>/subsystem  ->  ../../../../../../class/tty

#include <filesystem>
#include <string>

#include "common/Result.h"

namespace mzt::devsim {

class FakeSysfs {
 public:
  static constexpr const char* kProduct = "AT32UC3A3 CDC Speed Camera Detector";

  // `usbPath` is the USB device's place on the bus, the "1-1" above.
  FakeSysfs(std::filesystem::path root, std::string ttyName, std::string serial,
            std::string usbPath = "1-1");
  ~FakeSysfs() { Unplug(); }
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  // Makes the device appear; its uevent names the pty slave (DEVNAME is the
  // path below /dev, as the kernel writes it). Each plug-in gets a new
  // device number, as the kernel numbers every attachment anew.
  Result<void> Plug(const std::string& slavePath);
  // Makes it disappear: the class link first, then the device.
  void Unplug();
  // The port's name at the next Plug.
  void SetTtyName(std::string ttyName) { ttyName_ = std::move(ttyName); }

  std::filesystem::path ClassEntry() const { return root_ / "class" / "tty" / ttyName_; }
  std::filesystem::path UsbDevice() const { return root_ / "devices" / "usb1" / usbPath_; }

 private:
  std::filesystem::path root_;
  std::string ttyName_;
  std::string serial_;
  std::string usbPath_;
};

}  // namespace mzt::devsim
