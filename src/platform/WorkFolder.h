#pragma once
// A folder of one run's own for its work files (the download, the device
// files and their temporaries), so that runs side by side on one data folder
// never read or remove each other's files, nor the user's files of the same
// names. It is made new beside the user's files ("work.run-<pid>-<counter>",
// this user only; an existing folder or link of that name is never taken)
// and removed with everything in it when dropped.

#include <filesystem>
#include <memory>

#include "common/Result.h"

namespace mzt {

class WorkFolder {
 public:
  // ErrorCode::kIo with the system's text when no folder can be made in `parent`.
  static Result<std::shared_ptr<WorkFolder>> Create(const std::filesystem::path& parent);

  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  ~WorkFolder() { Remove(); }

  const std::filesystem::path& Path() const { return path_; }
  // Removes the folder and its files now (also from another thread, as the
  // program ends); the object only forgets it.
  void Remove() const;

  // Removes the work folders in `parent` whose process no longer runs;
  // answers how many went.
  static int RemoveLeftovers(const std::filesystem::path& parent);

 private:
  explicit WorkFolder(std::filesystem::path path) : path_(std::move(path)) {}

  std::filesystem::path path_;
};

}  // namespace mzt
