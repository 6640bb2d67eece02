#include <windows.h>
#include <shellapi.h>

#include "platform/TextCodec.h"

#include "platform/Process.h"

namespace mzt {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(WideToUtf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

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
