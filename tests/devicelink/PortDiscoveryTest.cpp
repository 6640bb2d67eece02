#include "devicelink/PortDiscovery.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TempFolder.h"

namespace mzt {
namespace {

namespace fs = std::filesystem;

// A sysfs tree laid out like the kernel's: class/tty/<name> links into
// devices/, whose "device" link leads to the USB interface, whose parent is
// the USB device with its product string.
class FakeSysfs {
 public:
  FakeSysfs() { setenv("MZT_SYSFS_ROOT", folder_.Path().c_str(), 1); }
  ~FakeSysfs() { unsetenv("MZT_SYSFS_ROOT"); }

  void AddUsbTty(const std::string& tty, int bus, const std::string& product,
                 const std::string& interfaceText = "CDC Abstract Control Model") {
    fs::path device = folder_ / "devices" / ("usb" + std::to_string(bus)) / (std::to_string(bus) + "-1");
    fs::path interface = device / (std::to_string(bus) + "-1:1.0");
    fs::create_directories(interface / "tty" / tty);
    if (!product.empty()) test::WriteFileBytes(device / "product", product + "\n");
    test::WriteFileBytes(interface / "interface", interfaceText + "\n");
    fs::create_symlink("../..", interface / "tty" / tty / "device");
    Link(tty, interface / "tty" / tty);
  }
  void AddPlainTty(const std::string& tty) {
    fs::path node = folder_ / "devices" / "virtual" / "tty" / tty;
    fs::create_directories(node);
    Link(tty, node);
  }
  void AddClassFolder() { fs::create_directories(folder_ / "class" / "tty"); }
  void Remove(const std::string& tty) { fs::remove(folder_ / "class" / "tty" / tty); }

 private:
  void Link(const std::string& tty, const fs::path& target) {
    AddClassFolder();
    fs::create_symlink(target, folder_ / "class" / "tty" / tty);
  }
  test::TempFolder folder_;
};

// Starts from a list with an old entry: each fill replaces the whole list.
std::vector<std::string> Fill(std::string* errorOut = nullptr) {
  std::vector<std::string> list{"stale entry"};
  std::string error;
  bool ok = FillDevicePortList(list, error);
  if (errorOut) *errorOut = error;
  EXPECT_EQ(ok, error.empty());
  return list;
}

// Other names and ttys without USB are skipped; the rest in natural order.
TEST(PortDiscoveryTest, MatchingDevicesInEnumerationOrder) {
  FakeSysfs sysfs;
  sysfs.AddUsbTty("ttyACM10", 3, "AT32UC3A3 CDC");
  sysfs.AddUsbTty("ttyACM2", 2, "AT32UC3");
  sysfs.AddUsbTty("ttyACM0", 1, "at32uc3 lower case");
  sysfs.AddUsbTty("ttyACM1", 4, "xAT32UC3 prefixed");
  sysfs.AddUsbTty("ttyUSB0", 5, "", "AT32UC3 from the interface string");
  sysfs.AddPlainTty("ttyS0");
  sysfs.AddPlainTty("tty0");
  EXPECT_EQ(Fill(), (std::vector<std::string>{"/dev/ttyACM2", "/dev/ttyACM10", "/dev/ttyUSB0"}));
}

TEST(PortDiscoveryTest, FailedEnumerationLeavesTheListEmptyWithItsText) {
  FakeSysfs sysfs;  // no class/tty at all
  std::string error;
  EXPECT_TRUE(Fill(&error).empty());
  EXPECT_EQ(error, "cannot list " + (SysfsRoot() / "class" / "tty").string() + ": No such file or directory");
}

TEST(PortDiscoveryTest, PresenceProbesLookForTheFirstAcmPort) {
  FakeSysfs sysfs;
  sysfs.AddUsbTty("ttyACM1", 1, "AT32UC3");
  EXPECT_TRUE(IsUsbSerialDeviceGone());
  EXPECT_FALSE(IsUsbSerialDevicePresent());
  sysfs.AddUsbTty("ttyACM0", 2, "AT32UC3");
  EXPECT_FALSE(IsUsbSerialDeviceGone());
  EXPECT_TRUE(IsUsbSerialDevicePresent());
  sysfs.Remove("ttyACM0");
  EXPECT_TRUE(IsUsbSerialDeviceGone());
}

}  // namespace
}  // namespace mzt
