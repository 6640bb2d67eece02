#pragma once
// The few file operations whose system calls differ between the platforms:
// opening by a path that may hold any character, creating a file only when
// its name is free, replacing one file by another in one step, and the
// program's own folders, which no other user may reach into.

#include <cstdio>
#include <filesystem>
#include <string>

namespace mzt {

// std::fopen for a path; nullptr with LastSystemError() set on failure.
std::FILE* OpenStdioFile(const std::filesystem::path& path, const char* mode);

// Creates `path` for binary writing, never reusing an existing file.
// nullptr on failure, with `alreadyExists` telling whether the name was taken
// and LastSystemError() the reason.
std::FILE* CreateNewStdioFile(const std::filesystem::path& path, bool& alreadyExists);

// Renames `from` over `to`, replacing it; answers 0 or the system's error code.
int ReplaceFileWith(const std::filesystem::path& from, const std::filesystem::path& to);

// Opens `path` for appending, creating it for this user only. A link or
// anything but a plain file at that name is refused (nullptr, with
// LastSystemError() set), never followed.
std::FILE* OpenAppendFile(const std::filesystem::path& path);

// Creates the folder `path` (its parent must exist) for this user only;
// answers 0 or the system's error code (the "exists" one when the name is
// taken, by whatever).
int CreatePrivateFolder(const std::filesystem::path& path);

// Why `folder` is no place for this user's files (not a folder, another
// user's, open to others' writing); empty when it is.
std::string UnsafeFolderReason(const std::filesystem::path& folder);

}  // namespace mzt
