#pragma once
// Why this user may or may not open a device port, who else holds it, and
// what of the system stands between the two (ModemManager, the udev rule).
// For `mzt doctor`: each answer is read, nothing is changed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DeviceEnumeration.h"

namespace mzt {

struct RunningProgram {
  uint32_t processId = 0;
  std::string name;
};

struct PortPermission {
  bool exists = false;
  bool mayOpen = false;        // read and write for this user
  std::string mode;            // "crw-rw----"
  std::string owner;           // the node's user and group names
  std::string group;
  bool isOwner = false;        // this user owns the node
  bool inGroup = false;        // this user is a member of the node's group
  bool aclGrantsUser = false;  // an access control list entry gives this user read and write
};

PortPermission InspectPortPermission(const std::string& path);

// The attached USB serial port whose device node `path` is (a link to it counts).
std::optional<UsbSerialPort> UsbSerialPortOf(const std::string& path);

// Other programs that have the port open, as far as this user may see.
std::vector<RunningProgram> ProgramsHoldingPort(const std::string& path);

// Whether a program of this name runs (any user's).
bool IsProgramRunning(const std::string& name);

// Whether the system's device manager marked the port for ModemManager to leave alone.
bool IsPortIgnoredByModemManager(const std::string& path);

// Where the program's udev rule is installed in a folder udev reads, empty
// when it is not; nullopt on a system without udev (nor ModemManager).
std::optional<std::string> InstalledUdevRule();
// A copy of the rule that came with this program, for the user to install:
// beside the program in a build, under its prefix's lib/udev/rules.d after an
// install that udev does not read. Empty when there is none.
std::string UdevRuleCopy();

std::string CurrentUserName();

}  // namespace mzt
