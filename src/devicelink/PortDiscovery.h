#pragma once
// Finding the device's serial port: USB serial ports whose friendly name
// begins with "AT32UC3", and the presence probes of the replug prompt.

#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceEnumeration.h"

namespace mzt {

inline constexpr const char* kDeviceNamePrefix = "AT32UC3";

// Clears the list, then appends the port name of each attached device, in
// enumeration order. Answers false with `error` set (in the system's terms,
// DeviceListingErrorText) when the enumeration failed, or stopped part-way
// (the ports found so far kept).
bool FillDevicePortList(std::vector<std::string>& list, std::string& error);
// The same, with each device's identity (product, USB serial number).
bool FillDeviceList(std::vector<UsbSerialPort>& list, std::string& error);

// The attached USB serial port of the device that `known` describes: the
// one with its USB serial number, else (a device without one) the one at
// its place on the bus, under whatever name it has now. None when it is not
// attached or `known` carries neither.
std::optional<UsbSerialPort> FindUsbSerialPort(const UsbSerialPort& known);

// The first USB serial device: gone, or present. Both answer from the same
// probe; they exist apart because the replug prompt asks each at its phase.
bool IsUsbSerialDeviceGone();
bool IsUsbSerialDevicePresent();

}  // namespace mzt
