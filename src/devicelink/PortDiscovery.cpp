#include "devicelink/PortDiscovery.h"

#include <cstdio>

#include "platform/DeviceEnumeration.h"

namespace mzt {

bool FillDevicePortList(std::vector<std::string>& list, std::string& error) {
  list.clear();
  error.clear();
  auto ports = EnumerateUsbSerialPorts();
  if (!ports) {
    char text[64];
    std::snprintf(text, sizeof text, "SetupDiGetClassDevs failed. (err=%lx)",
                  static_cast<unsigned long>(ports.Err().systemCode));
    error = text;
    return false;
  }
  for (const auto& port : ports.Value()) {
    // Case-sensitive prefix: "at32uc3" or "xAT32UC3" are other devices.
    if (port.friendlyName.compare(0, 7, kDeviceNamePrefix) == 0) list.push_back(port.portName);
  }
  return true;
}

bool IsUsbSerialDeviceGone() { return !FirstUsbSerialPortExists(); }

bool IsUsbSerialDevicePresent() { return FirstUsbSerialPortExists(); }

}  // namespace mzt
