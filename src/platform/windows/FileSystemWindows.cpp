#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "platform/FileSystem.h"

namespace mzt {

std::FILE* OpenStdioFile(const std::filesystem::path& path, const char* mode) {
  std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return ::_wfopen(path.c_str(), wideMode.c_str());
}

std::FILE* CreateNewStdioFile(const std::filesystem::path& path, bool& alreadyExists) {
  alreadyExists = false;
  // CREATE_NEW: never reuse a file that someone else just created under that name.
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD err = ::GetLastError();
    alreadyExists = err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS;
    return nullptr;
  }
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
    ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, "wb");
  if (!file) {
    ::_close(fd);
    ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
  }
  return file;
}

int ReplaceFileWith(const std::filesystem::path& from, const std::filesystem::path& to) {
  // Write-through: the rename reaches the disk before the call returns.
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  return static_cast<int>(::GetLastError());
}

}  // namespace mzt
