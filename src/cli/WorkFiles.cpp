#include "cli/WorkFiles.h"

#include <algorithm>
#include <array>
#include <string>
#include <system_error>

namespace mzt {
namespace fs = std::filesystem;
namespace {

constexpr std::array<const char*, 6> kWorkFileNames = {
    "ULDB.bin", "ULDB.bin.download", "FF00.bin", "FF01.bin", "FF02.bin", "Index.bin"};

// A work file itself, or a temporary one on its way to become it.
bool IsWorkFile(const std::string& name) {
  return std::any_of(kWorkFileNames.begin(), kWorkFileNames.end(), [&](const char* work) {
    std::string stem = work;
    return name == stem || name.rfind(stem + ".part-", 0) == 0;
  });
}

}  // namespace

WorkFiles::WorkFiles(fs::path folder) : folder_(std::move(folder)), before_(Scan()) {}

std::vector<WorkFiles::Seen> WorkFiles::Scan() const {
  std::vector<Seen> found;
  std::error_code ec;
  if (folder_.empty()) return found;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    if (!IsWorkFile(it->path().filename().string()) || !it->is_regular_file(ec)) continue;
    found.push_back({it->path(), it->last_write_time(ec), it->file_size(ec)});
  }
  return found;
}

void WorkFiles::RemoveWritten() const {
  for (const Seen& now : Scan()) {
    bool untouched = std::any_of(before_.begin(), before_.end(), [&](const Seen& then) {
      return then.path == now.path && then.time == now.time && then.size == now.size;
    });
    std::error_code ec;
    if (!untouched) fs::remove(now.path, ec);
  }
}

}  // namespace mzt
