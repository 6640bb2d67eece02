#pragma once
// A lock on one device, named by what identifies it, for every program and
// user of the machine. The port's own lock lasts from its open to its close;
// a run that changes the device holds this one from before its first open to
// its end, so that no other run opens the device while the port is closed
// for a replug and the run's next open. Every run takes it before it opens a
// device, so that one held elsewhere is refused as a port in use.
//
// Linux: flock on a file of this name in /run/lock (else /var/lock, else the
// temporary folder), opened without following links, removed by its holder.
// Windows: a named mutex in the global namespace (else the session's).

#include <cstdint>
#include <memory>
#include <string>

#include "common/Result.h"

namespace mzt {

class DeviceLock {
 public:
  // Takes the lock of the device `identity` (any text), which `portName`
  // reaches: kBusy as for a port another program holds when another run has
  // it; kIo when the lock cannot be made at all.
  static Result<std::unique_ptr<DeviceLock>> Take(const std::string& identity, const std::string& portName);

  ~DeviceLock();
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

  const std::string& Identity() const { return identity_; }

 private:
  DeviceLock(std::string identity, std::string name, std::intptr_t handle)
      : identity_(std::move(identity)), name_(std::move(name)), handle_(handle) {}

  std::string identity_;
  std::string name_;       // the lock file's path, or the mutex's name
  std::intptr_t handle_;   // the open lock file, or the mutex
};

// The identity's characters that may stand in a file or object name, each
// other byte as %XX.
std::string DeviceLockName(const std::string& identity);

}  // namespace mzt
