#pragma once
// Where the program's files live.
//
// $MZT_HOME when set. Otherwise, on Linux: the executable's folder when it
// holds "MZTConfig.ini" (a portable install); else the settings file in
// $XDG_CONFIG_HOME/mzt-utility and the data files in $XDG_DATA_HOME/mzt-utility,
// under the home folder ($HOME, else the password database's; never a shared
// place). On Windows: the executable's folder, as the program has always kept
// them.
//
// A folder another user owns or may write in is refused: its settings could
// choose the port and its files could be links into anyone's files.

#include <filesystem>
#include <optional>

#include "common/Result.h"

namespace mzt {

// The folder of the running program file, without a trailing separator.
std::optional<std::filesystem::path> GetModuleDirectory();

// Folder of "MZTConfig.ini".
std::filesystem::path ConfigFolder();
// Folder of "POI.csv" and of the runs' work folders; created on first use,
// for this user only. kIo when it cannot be created or is refused.
Result<std::filesystem::path> CheckedDataFolder();
// The same, empty on failure.
std::filesystem::path DataFolder();
// The folder CheckedDataFolder() would use, neither created nor checked.
std::filesystem::path ChosenDataFolder();

// Folder of the runs' work folders (the download, the device files), which
// are temporary: $XDG_CACHE_HOME/mzt-utility (~/.cache/mzt-utility) on Linux;
// the data folder with --data-dir, $MZT_HOME, a portable install and on
// Windows. Created and checked as the data folder is.
Result<std::filesystem::path> CheckedWorkParent();
// The same without the override, not created.
std::filesystem::path DefaultWorkParent();
// The same without the override below, not created.
std::filesystem::path DefaultDataFolder();

// ConfigFolder() / "MZTConfig.ini"; kIo when that folder is refused.
Result<std::filesystem::path> CheckedSettingsFile();
// The same, empty (no settings: the defaults) when refused.
std::filesystem::path SettingsFilePath();

// Overrides the data folder (the command line's --data-dir); empty restores
// the rule above.
void SetDataFolderOverride(const std::filesystem::path& folder);

}  // namespace mzt
