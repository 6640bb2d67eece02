#include <cerrno>
#include <cstdio>

#include "platform/FileSystem.h"

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

}  // namespace mzt
