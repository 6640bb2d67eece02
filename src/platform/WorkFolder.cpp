#include "platform/WorkFolder.h"

#include <string_view>
#include <system_error>

#include "common/TextFill.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kStem = "work";
constexpr std::string_view kRunMark = ".run-";

}  // namespace

Result<std::shared_ptr<WorkFolder>> WorkFolder::Create(const fs::path& parent) {
  int code = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path path = parent / (std::string(kStem) + WriterSuffix(kRunMark));
    code = CreatePrivateFolder(path);
    if (code == 0) return std::shared_ptr<WorkFolder>(new WorkFolder(std::move(path)));
    if (!fs::exists(fs::symlink_status(path))) break;
  }
  return Error{ErrorCode::kIo, SystemErrorText(code), code}.With(
      Fill(Tr("creating a work folder in {1}"), {parent.string()}));
}

void WorkFolder::Remove() const {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

int WorkFolder::RemoveLeftovers(const fs::path& parent) {
  int removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    uint32_t writer = WriterOf(name, kRunMark);
    if (writer == 0 || !name.starts_with(std::string(kStem) + std::string(kRunMark)) ||
        writer == CurrentProcessId() || IsProcessRunning(writer))
      continue;
    std::error_code ignored;
    // The folder itself, never what a link of that name points at.
    if (it->is_directory(ignored) && !it->is_symlink(ignored) && fs::remove_all(it->path(), ignored) > 0)
      ++removed;
  }
  return removed;
}

}  // namespace mzt
