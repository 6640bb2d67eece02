#pragma once
// A stable path for the device's port: a symbolic link to the pty slave
// that moves to the new pty at every replug and is gone while unplugged.

#include <filesystem>
#include <string>

#include "common/Result.h"

namespace mzt::devsim {

class PortLink {
 public:
  explicit PortLink(std::filesystem::path path) : path_(std::move(path)) {}
  ~PortLink() { Remove(); }
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  // Points the link at `target` in one step (link beside it, then rename).
  // Something at the path that is not a symbolic link is left alone.
  Result<void> PointAt(const std::string& target);
  void Remove();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace mzt::devsim
