#include <windows.h>

#include "platform/Process.h"

namespace mzt {

uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

bool IsProcessRunning(uint32_t id) {
  if (id == 0) return false;
  HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process) {
    // Someone else's process: it exists, it is only closed to us.
    return ::GetLastError() == ERROR_ACCESS_DENIED;
  }
  bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

}  // namespace mzt
