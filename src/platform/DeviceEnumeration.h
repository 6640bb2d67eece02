#pragma once
// The serial ports of attached USB devices, and whether the first USB CDC
// ACM port exists. On Linux this reads sysfs; its root is $MZT_SYSFS_ROOT
// when set (tests and the simulated device use a fake tree), else /sys, and
// the ports' nodes are in $MZT_DEVICE_ROOT when set, else /dev. On Windows
// it asks the device setup functions and the serial-port map.

#include <filesystem>
#include <string>
#include <vector>

#include "common/Result.h"

namespace mzt {

struct UsbSerialPort {
  std::string portName;      // "/dev/ttyACM0"
  std::string friendlyName;  // the USB product string, or the interface string
  std::string serialNumber;  // the USB device's serial number; empty when it has none
  // Where the USB device sits on the bus ("1-1.2"): the same after a replug
  // into the same socket.
  std::string busPath;
  // Changes each time the device is attached (bus and device number, "1:7");
  // empty where the system does not tell.
  std::string attachment;
};

struct UsbSerialPortList {
  std::vector<UsbSerialPort> ports;
  int listError = 0;  // the tty class could not be listed at all (errno)
  int walkError = 0;  // listing stopped part-way (errno); `ports` holds what came before
};

// Every tty that belongs to a USB interface, in name order (ttyACM2 before
// ttyACM10).
UsbSerialPortList EnumerateUsbSerialPorts();

// Whether the first USB CDC ACM port (ttyACM0) exists.
bool FirstUsbSerialPortExists();

// Whether the path names an existing character device (a tty or pty).
bool IsCharacterDevice(const std::string& path);

// The port name for what a user typed: "ttyACM0" is "/dev/ttyACM0" here,
// "COM7" stays "COM7" on Windows.
std::string PortNameFromUser(const std::string& text);

// Why the listing failed or stopped, in this system's own terms; empty when
// it did not.
std::string DeviceListingErrorText(const UsbSerialPortList& list);

// What the user can do when the ports cannot be listed at all.
std::string DeviceListingFix();

// Linux only: the root of the sysfs tree read above.
std::filesystem::path SysfsRoot();
// Linux only: the root under which udev's rule folders are looked for,
// $MZT_UDEV_ROOT when set (tests), else /.
std::filesystem::path UdevRoot();

}  // namespace mzt
