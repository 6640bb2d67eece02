#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/TextFill.h"
#include "platform/DeviceEnumeration.h"
#include "platform/DeviceLock.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// The machine's folder for device locks, where every user may make one.
fs::path LockFolder() {
  for (const char* folder : {"/run/lock", "/var/lock"}) {
    struct stat info {};
    if (::stat(folder, &info) == 0 && S_ISDIR(info.st_mode) && ::access(folder, W_OK | X_OK) == 0)
      return folder;
  }
  std::error_code ec;
  fs::path temporary = fs::temp_directory_path(ec);
  return ec ? fs::path("/tmp") : temporary;
}

// Opens the lock file, never through a link, made readable to everyone
// (flock needs no more). A name that is taken is opened, not created: in a
// sticky folder an O_CREAT open of another user's file may be refused.
int OpenLockFile(const fs::path& path) {
  constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  for (int attempt = 0; attempt < 4; ++attempt) {
    int fd = ::open(path.c_str(), kFlags);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
      ::fchmod(fd, 0644);  // whatever the umask: other users' runs must open it
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EAGAIN;
  return -1;
}

}  // namespace

Result<std::unique_ptr<DeviceLock>> DeviceLock::Take(const std::string& identity, const std::string& portName) {
  // A simulated device's identity holds only inside its own device tree.
  fs::path root = SysfsRoot();
  std::string qualified = root == "/sys" ? identity : identity + " in " + root.string();
  fs::path path = LockFolder() / ("mzt-utility-" + DeviceLockName(qualified) + ".lock");
  auto failure = [&path](int err, const std::string& what) {
    return Error{ErrorCode::kIo, what, err}.With(Fill(Tr("the device lock {1}"), {path.string()}));
  };
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = OpenLockFile(path);
    if (fd < 0) {
      int err = errno;
      return failure(err, SystemErrorText(err));
    }
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      return failure(EINVAL, Tr("not a plain file"));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int err = errno;
      ::close(fd);
      if (err == EWOULDBLOCK) return PortInUse(portName, err);
      return failure(err, SystemErrorText(err));
    }
    // Its holder removes the file as it lets go: only the file that still
    // bears the name is the lock.
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
      return std::unique_ptr<DeviceLock>(new DeviceLock(identity, path.string(), fd));
    ::close(fd);
  }
  return PortInUse(portName);
}

DeviceLock::~DeviceLock() {
  // Removed while still held, so that a run waiting on this file finds it
  // gone and makes a new one. Another user's file stays (sticky folder).
  ::unlink(name_.c_str());
  ::close(static_cast<int>(handle_));
}

}  // namespace mzt
