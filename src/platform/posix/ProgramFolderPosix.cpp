#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/ProgramFolder.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

// $HOME, else the password database's: without HOME (a service, `env -u
// HOME`) the folders must still be this user's own, never a shared place.
fs::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && *found->pw_dir == '/')
    return found->pw_dir;
  return {};
}

// Empty when the user has no home folder.
fs::path XdgFolder(const char* variable, const char* fallbackUnderHome) {
  if (const char* value = std::getenv(variable); value && *value == '/')
    return fs::path(value) / "mzt-utility";
  fs::path home = HomeFolder();
  return home.empty() ? home : home / fallbackUnderHome / "mzt-utility";
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

fs::path DefaultWorkParent() {
  auto portable = PortableFolder();
  return portable ? *portable : XdgFolder("XDG_CACHE_HOME", ".cache");
}

}  // namespace mzt
