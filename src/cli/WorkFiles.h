#pragma once
// The program's work files in the data folder (the download, the device
// files and their temporaries) as a run found them, so that a run stopped
// with Ctrl-C removes only what it wrote itself.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace mzt {

class WorkFiles {
 public:
  explicit WorkFiles(std::filesystem::path folder);
  // Removes each work file that appeared or changed since construction.
  void RemoveWritten() const;

 private:
  struct Seen {
    std::filesystem::path path;
    std::filesystem::file_time_type time;
    uintmax_t size;
  };
  std::vector<Seen> Scan() const;

  std::filesystem::path folder_;
  std::vector<Seen> before_;
};

}  // namespace mzt
