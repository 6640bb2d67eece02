#pragma once
// Where the program's files live.
//
// $MZT_HOME when set. Otherwise, on Linux: the executable's folder when it
// holds "MZTConfig.ini" (a portable install); else the settings file in
// $XDG_CONFIG_HOME/mzt-utility and the data files in $XDG_DATA_HOME/mzt-utility.
// On Windows: the executable's folder, as the program has always kept them.

#include <filesystem>
#include <optional>

namespace mzt {

// The folder of the running program file, without a trailing separator.
std::optional<std::filesystem::path> GetModuleDirectory();

// Folder of "MZTConfig.ini".
std::filesystem::path ConfigFolder();
// Folder of "ULDB.bin", "Index.bin" and "POI.csv"; created on first use.
// Empty when it cannot be created.
std::filesystem::path DataFolder();
// The same without the override below, not created.
std::filesystem::path DefaultDataFolder();

std::filesystem::path SettingsFilePath();  // ConfigFolder() / "MZTConfig.ini"

// Overrides the data folder (the command line's --data-dir); empty restores
// the rule above.
void SetDataFolderOverride(const std::filesystem::path& folder);

}  // namespace mzt
