#include "devsim/PortLink.h"

namespace mzt::devsim {

Result<void> PortLink::PointAt(const std::string& target) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_status status = fs::symlink_status(path_, ec);
  if (fs::exists(status) && !fs::is_symlink(status))
    return Error{ErrorCode::kInvalidArgument, path_.string() + " exists and is not a link"};
  fs::path fresh = path_;
  fresh += ".new";
  fs::remove(fresh, ec);
  fs::create_symlink(target, fresh, ec);
  if (!ec) fs::rename(fresh, path_, ec);
  if (ec) {
    fs::remove(fresh, ec);
    return Error{ErrorCode::kIo, "linking " + path_.string() + ": " + ec.message()};
  }
  return Success();
}

void PortLink::Remove() {
  std::error_code ec;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(path_, ec)))
    std::filesystem::remove(path_, ec);
}

}  // namespace mzt::devsim
