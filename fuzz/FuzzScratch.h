#pragma once
// A scratch folder of this process's own for the targets that need files,
// removed when the process ends.

#include <unistd.h>

#include <filesystem>
#include <string>

namespace mzt::fuzz {

class Scratch {
 public:
  Scratch()
      : path_(std::filesystem::temp_directory_path() / ("mzt-fuzz-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline const std::filesystem::path& ScratchFolder() {
  static const Scratch scratch;
  return scratch.Path();
}

}  // namespace mzt::fuzz
