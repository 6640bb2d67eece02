#include "platform/ProgramFolder.h"

#include <mutex>
#include <string>
#include <system_error>

#include "common/TextFill.h"
#include "platform/FileSystem.h"
#include "platform/SystemError.h"
#include "platform/Translation.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

std::mutex g_overrideMutex;
fs::path g_dataOverride;

Result<fs::path> Refused(const fs::path& folder, const std::string& why) {
  return Error{ErrorCode::kIo, why}.With(Fill(Tr("refusing {1}"), {folder.string()}));
}

// Creates what is missing of `folder`, each new folder for this user only.
Result<void> CreateFolders(const fs::path& folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return Success();
  if (folder.has_relative_path() && folder.parent_path() != folder) {
    if (auto parent = CreateFolders(folder.parent_path()); !parent) return parent;
  }
  int code = CreatePrivateFolder(folder);
  if (code != 0 && !fs::is_directory(folder, ec)) {
    // A file of that name: the system's "exists" would say the opposite of the trouble.
    std::string why = fs::exists(folder, ec) ? std::string(Tr("a file of that name is in the way")) : SystemErrorText(code);
    return Error{ErrorCode::kIo, why, code}.With(Fill(Tr("creating the folder {1}"), {folder.string()}));
  }
  return Success();
}

}  // namespace

fs::path ChosenDataFolder() {
  std::lock_guard lock(g_overrideMutex);
  return g_dataOverride.empty() ? DefaultDataFolder() : g_dataOverride;
}

// Made for this user if missing, and refused when others may write in it.
Result<fs::path> CheckedFolder(const fs::path& folder) {
  if (folder.empty()) return Error{ErrorCode::kIo, Tr("no home folder is known for this user")};
  if (auto created = CreateFolders(folder); !created) return std::move(created).TakeError();
  if (std::string why = UnsafeFolderReason(folder); !why.empty()) return Refused(folder, why);
  return folder;
}

Result<fs::path> CheckedDataFolder() { return CheckedFolder(ChosenDataFolder()); }

Result<fs::path> CheckedWorkParent() {
  bool overridden = false;
  {
    std::lock_guard lock(g_overrideMutex);
    overridden = !g_dataOverride.empty();
  }
  return overridden ? CheckedDataFolder() : CheckedFolder(DefaultWorkParent());
}

fs::path DataFolder() {
  auto folder = CheckedDataFolder();
  return folder ? folder.Value() : fs::path();
}

Result<fs::path> CheckedSettingsFile() {
  fs::path folder = ConfigFolder();
  if (folder.empty()) return Error{ErrorCode::kIo, Tr("no home folder is known for this user")};
  std::error_code ec;
  // A folder not made yet holds no settings: the defaults apply.
  if (fs::exists(folder, ec)) {
    if (std::string why = UnsafeFolderReason(folder); !why.empty()) return Refused(folder, why);
  }
  return folder / "MZTConfig.ini";
}

fs::path SettingsFilePath() {
  auto file = CheckedSettingsFile();
  return file ? file.Value() : fs::path();
}

void SetDataFolderOverride(const fs::path& folder) {
  std::lock_guard lock(g_overrideMutex);
  g_dataOverride = folder;
}

}  // namespace mzt
