#include "devicelink/PortDiscovery.h"

namespace mzt {

bool FillDevicePortList(std::vector<std::string>& list, std::string& error) {
  std::vector<UsbSerialPort> devices;
  bool complete = FillDeviceList(devices, error);
  list.clear();
  for (const auto& device : devices) list.push_back(device.portName);
  return complete;
}

bool FillDeviceList(std::vector<UsbSerialPort>& list, std::string& error) {
  list.clear();
  error.clear();
  UsbSerialPortList found = EnumerateUsbSerialPorts();
  if (found.listError != 0) {
    error = DeviceListingErrorText(found);
    return false;
  }
  for (const auto& port : found.ports) {
    // Case-sensitive prefix: "at32uc3" or "xAT32UC3" are other devices.
    if (port.friendlyName.compare(0, 7, kDeviceNamePrefix) == 0) list.push_back(port);
  }
  if (found.walkError != 0) {
    // The ports found so far stay listed.
    error = DeviceListingErrorText(found);
    return false;
  }
  return true;
}

std::optional<UsbSerialPort> FindUsbSerialPort(const UsbSerialPort& known) {
  if (known.serialNumber.empty() && known.busPath.empty()) return std::nullopt;
  for (UsbSerialPort& port : EnumerateUsbSerialPorts().ports) {
    bool same = known.serialNumber.empty() ? port.busPath == known.busPath
                                           : port.serialNumber == known.serialNumber;
    if (same) return std::move(port);
  }
  return std::nullopt;
}

bool IsUsbSerialDeviceGone() { return !FirstUsbSerialPortExists(); }

bool IsUsbSerialDevicePresent() { return FirstUsbSerialPortExists(); }

}  // namespace mzt
