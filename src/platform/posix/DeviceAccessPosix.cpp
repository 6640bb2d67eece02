#include "platform/DeviceAccess.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/DeviceEnumeration.h"
#include "platform/ProgramFolder.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

constexpr const char* kUdevRuleName = "60-mzt-utility.rules";

std::string ReadFirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  if (in) std::getline(in, line);
  return line;
}

std::string ModeText(mode_t mode) {
  std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : "-";
  const char* letters = "rwxrwxrwx";
  for (int bit = 0; bit < 9; ++bit) text += (mode & (0400 >> bit)) ? letters[bit] : '-';
  return text;
}

bool UserInGroup(gid_t group) {
  if (getegid() == group) return true;
  int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  count = getgroups(count, groups.data());
  for (int i = 0; i < count; ++i)
    if (groups[static_cast<size_t>(i)] == group) return true;
  return false;
}

// The access ACL as the kernel stores it: a version word, then entries of
// tag, permissions and id (little-endian).
bool AclGrantsUser(const std::string& path, uid_t user) {
  unsigned char acl[512];
  ssize_t size = getxattr(path.c_str(), "system.posix_acl_access", acl, sizeof acl);
  if (size < 4) return false;
  constexpr uint16_t kUserEntry = 0x02;
  constexpr uint16_t kReadWrite = 0x06;
  for (ssize_t at = 4; at + 8 <= size; at += 8) {
    uint16_t tag = static_cast<uint16_t>(acl[at] | acl[at + 1] << 8);
    uint16_t perm = static_cast<uint16_t>(acl[at + 2] | acl[at + 3] << 8);
    uint32_t id = static_cast<uint32_t>(acl[at + 4] | acl[at + 5] << 8 | acl[at + 6] << 16 |
                                        static_cast<uint32_t>(acl[at + 7]) << 24);
    if (tag == kUserEntry && id == user && (perm & kReadWrite) == kReadWrite) return true;
  }
  return false;
}

std::string CanonicalOrSame(const std::string& path) {
  std::error_code ec;
  fs::path canonical = fs::canonical(path, ec);
  return ec ? path : canonical.string();
}

template <typename Visit>
void ForEachProcess(Visit visit) {
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    visit(static_cast<uint32_t>(std::strtoul(name.c_str(), nullptr, 10)), it->path());
  }
}

}  // namespace

PortPermission InspectPortPermission(const std::string& path) {
  PortPermission permission;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return permission;
  permission.exists = true;
  permission.mayOpen = ::access(path.c_str(), R_OK | W_OK) == 0;
  permission.mode = ModeText(info.st_mode);
  if (const passwd* user = getpwuid(info.st_uid)) permission.owner = user->pw_name;
  else permission.owner = std::to_string(info.st_uid);
  if (const group* owning = getgrgid(info.st_gid)) permission.group = owning->gr_name;
  else permission.group = std::to_string(info.st_gid);
  permission.isOwner = info.st_uid == geteuid();
  permission.inGroup = UserInGroup(info.st_gid);
  permission.aclGrantsUser = AclGrantsUser(path, geteuid());
  return permission;
}

std::optional<UsbSerialPort> UsbSerialPortOf(const std::string& path) {
  std::string node = CanonicalOrSame(path);
  for (const UsbSerialPort& port : EnumerateUsbSerialPorts().ports) {
    if (port.portName == path || port.portName == node) return port;
    // The node's own name, as the kernel announced it.
    std::string tty = port.portName.substr(port.portName.rfind('/') + 1);
    std::ifstream uevent(SysfsRoot() / "class" / "tty" / tty / "uevent");
    for (std::string line; std::getline(uevent, line);)
      if (line.starts_with("DEVNAME=") && "/dev/" + line.substr(8) == node) return port;
  }
  return std::nullopt;
}

std::vector<RunningProgram> ProgramsHoldingPort(const std::string& path) {
  std::vector<RunningProgram> holders;
  std::string node = CanonicalOrSame(path);
  uint32_t self = static_cast<uint32_t>(getpid());
  ForEachProcess([&](uint32_t id, const fs::path& folder) {
    if (id == self) return;
    std::error_code ec;
    for (fs::directory_iterator it(folder / "fd", ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code linkError;
      if (fs::read_symlink(it->path(), linkError).string() == node) {
        holders.push_back({id, ReadFirstLine(folder / "comm")});
        return;
      }
    }
  });
  return holders;
}

bool IsProgramRunning(const std::string& name) {
  bool running = false;
  ForEachProcess([&](uint32_t, const fs::path& folder) {
    if (!running && ReadFirstLine(folder / "comm") == name) running = true;
  });
  return running;
}

bool IsPortIgnoredByModemManager(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  fs::path record = "/run/udev/data/c" + std::to_string(major(info.st_rdev)) + ":" +
                    std::to_string(minor(info.st_rdev));
  std::ifstream in(record);
  for (std::string line; std::getline(in, line);)
    if (line == "E:ID_MM_DEVICE_IGNORE=1") return true;
  return false;
}

std::optional<std::string> InstalledUdevRule() {
  // Only where udev reads rules: a copy elsewhere changes nothing.
  for (const char* folder : {"etc/udev/rules.d", "run/udev/rules.d", "usr/lib/udev/rules.d", "lib/udev/rules.d"}) {
    fs::path rule = UdevRoot() / folder / kUdevRuleName;
    std::error_code ec;
    if (fs::is_regular_file(rule, ec)) return rule.string();
  }
  return std::string();
}

std::string UdevRuleCopy() {
  auto bin = GetModuleDirectory();
  if (!bin) return std::string();
  for (const fs::path& copy : {*bin / kUdevRuleName, bin->parent_path() / "lib" / "udev" / "rules.d" / kUdevRuleName}) {
    std::error_code ec;
    if (fs::is_regular_file(copy, ec)) return copy.string();
  }
  return std::string();
}

std::string CurrentUserName() {
  if (const passwd* user = getpwuid(geteuid())) return user->pw_name;
  return std::to_string(geteuid());
}

}  // namespace mzt
