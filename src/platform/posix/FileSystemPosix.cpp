#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/FileSystem.h"
#include "common/TextFill.h"
#include "platform/Translation.h"

namespace mzt {

std::FILE* OpenStdioFile(const std::filesystem::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::FILE* CreateNewStdioFile(const std::filesystem::path& path, bool& alreadyExists) {
  // "x": never reuse a file that someone else just created under that name.
  std::FILE* file = std::fopen(path.c_str(), "wbx");
  alreadyExists = !file && errno == EEXIST;
  return file;
}

int ReplaceFileWith(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::FILE* OpenAppendFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                  0600);
  if (fd < 0) return nullptr;
  // A fifo or a device planted under the name is no file of ours either.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    int code = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = code;
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, O_APPEND);
  std::FILE* file = ::fdopen(fd, "ab");
  if (!file) {
    int code = errno;
    ::close(fd);
    errno = code;
  }
  return file;
}

int CreatePrivateFolder(const std::filesystem::path& path) {
  return ::mkdir(path.c_str(), 0700) == 0 ? 0 : errno;
}

std::string UnsafeFolderReason(const std::filesystem::path& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return Tr("it cannot be found");
  if (!S_ISDIR(info.st_mode)) return Tr("it is not a folder");
  // Root's folders are trusted as the system's own are.
  if (info.st_uid != ::geteuid() && info.st_uid != 0) return Tr("it belongs to another user");
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return Fill(Tr("other users may write in it (chmod go-w {1})"), {folder.string()});
  return {};
}

}  // namespace mzt
