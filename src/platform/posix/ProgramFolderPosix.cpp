#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/ProgramFolder.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

fs::path XdgFolder(const char* variable, const char* fallbackUnderHome) {
  if (const char* value = std::getenv(variable); value && *value == '/')
    return fs::path(value) / "mzt-utility";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / fallbackUnderHome / "mzt-utility";
}

std::optional<fs::path> PortableFolder() {
  if (const char* home = std::getenv("MZT_HOME"); home && *home) return fs::path(home);
  auto module = GetModuleDirectory();
  std::error_code ec;
  if (module && fs::exists(*module / "MZTConfig.ini", ec)) return module;
  return std::nullopt;
}

}  // namespace

std::optional<fs::path> GetModuleDirectory() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return std::nullopt;
  return exe.parent_path();
}

fs::path ConfigFolder() {
  if (auto folder = PortableFolder()) return *folder;
  return XdgFolder("XDG_CONFIG_HOME", ".config");
}

fs::path DefaultDataFolder() {
  auto portable = PortableFolder();
  return portable ? *portable : XdgFolder("XDG_DATA_HOME", ".local/share");
}

}  // namespace mzt
