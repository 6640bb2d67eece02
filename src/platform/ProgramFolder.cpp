#include "platform/ProgramFolder.h"

#include <mutex>
#include <system_error>

namespace mzt {
namespace fs = std::filesystem;
namespace {

std::mutex g_overrideMutex;
fs::path g_dataOverride;

}  // namespace

fs::path DataFolder() {
  fs::path folder;
  {
    std::lock_guard lock(g_overrideMutex);
    folder = g_dataOverride;
  }
  if (folder.empty()) folder = DefaultDataFolder();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return {};
  return folder;
}

fs::path SettingsFilePath() { return ConfigFolder() / "MZTConfig.ini"; }

void SetDataFolderOverride(const fs::path& folder) {
  std::lock_guard lock(g_overrideMutex);
  g_dataOverride = folder;
}

}  // namespace mzt
