#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "platform/FileSystem.h"
#include "platform/Translation.h"

namespace mzt {

std::FILE* OpenStdioFile(const std::filesystem::path& path, const char* mode) {
  std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return ::_wfopen(path.c_str(), wideMode.c_str());
}

namespace {

std::FILE* StdioOf(HANDLE handle, int flags, const char* mode) {
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  if (fd < 0) {
    ::CloseHandle(handle);
    ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, mode);
  if (!file) {
    ::_close(fd);
    ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
  }
  return file;
}

}  // namespace

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
  return StdioOf(handle, _O_WRONLY | _O_BINARY, "wb");
}

int ReplaceFileWith(const std::filesystem::path& from, const std::filesystem::path& to) {
  // Write-through: the rename reaches the disk before the call returns.
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  return static_cast<int>(::GetLastError());
}

std::FILE* OpenAppendFile(const std::filesystem::path& path) {
  // The reparse point itself is opened, never what it points at, and refused.
  HANDLE handle = ::CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ,
                                nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info) || ::GetFileType(handle) != FILE_TYPE_DISK ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    ::CloseHandle(handle);
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return nullptr;
  }
  return StdioOf(handle, _O_WRONLY | _O_APPEND | _O_BINARY, "ab");
}

int CreatePrivateFolder(const std::filesystem::path& path) {
  // The folder takes the program folder's permissions, as its files always have.
  if (::CreateDirectoryW(path.c_str(), nullptr)) return 0;
  return static_cast<int>(::GetLastError());
}

std::string UnsafeFolderReason(const std::filesystem::path& folder) {
  DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Tr("it cannot be found");
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Tr("it is not a folder");
  return {};
}

}  // namespace mzt
