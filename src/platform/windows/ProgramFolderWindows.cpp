#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform/ProgramFolder.h"

namespace mzt {
namespace fs = std::filesystem;
namespace {

std::optional<fs::path> HomeOverride() {
  const wchar_t* home = ::_wgetenv(L"MZT_HOME");
  if (home && *home) return fs::path(home);
  return std::nullopt;
}

}  // namespace

std::optional<fs::path> GetModuleDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return fs::path(std::wstring(buffer.data(), length)).parent_path();
    if (buffer.size() >= 32768) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

// The program keeps its files beside itself, as it always has on Windows.
fs::path ConfigFolder() {
  if (auto home = HomeOverride()) return *home;
  return GetModuleDirectory().value_or(fs::path("."));
}

fs::path DefaultDataFolder() { return ConfigFolder(); }

fs::path DefaultWorkParent() { return DefaultDataFolder(); }

}  // namespace mzt
