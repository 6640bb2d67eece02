#include <windows.h>

#include "common/TextFill.h"
#include "platform/DeviceLock.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace mzt {

// The mutex is never waited on: it exists while its run holds a handle to
// it, and the system closes that handle when the run ends, however it ends.
Result<std::unique_ptr<DeviceLock>> DeviceLock::Take(const std::string& identity, const std::string& portName) {
  const std::string base = "mzt-utility-" + DeviceLockName(identity);
  DWORD err = 0;
  // Every session's runs, where the system lets this user name a global
  // object; this session's otherwise.
  for (const char* space : {"Global\\", "Local\\"}) {
    std::string name = space + base;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, Utf8ToWide(name).c_str());
    err = ::GetLastError();
    if (mutex && err == ERROR_ALREADY_EXISTS) {
      ::CloseHandle(mutex);
      return PortInUse(portName, static_cast<int>(err));
    }
    if (mutex) return std::unique_ptr<DeviceLock>(new DeviceLock(identity, name, reinterpret_cast<std::intptr_t>(mutex)));
    // Another user's run made it, and it is not ours to open.
    if (err == ERROR_ACCESS_DENIED) return PortInUse(portName, static_cast<int>(err));
  }
  return Error{ErrorCode::kIo, SystemErrorText(static_cast<int>(err)), static_cast<int>(err)}.With(
      Fill(Tr("the device lock {1}"), {base}));
}

DeviceLock::~DeviceLock() { ::CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

}  // namespace mzt
