#pragma once
// The few file operations whose system calls differ between the platforms:
// opening by a path that may hold any character, creating a file only when
// its name is free, and replacing one file by another in one step.

#include <cstdio>
#include <filesystem>

namespace mzt {

// std::fopen for a path; nullptr with LastSystemError() set on failure.
std::FILE* OpenStdioFile(const std::filesystem::path& path, const char* mode);

// Creates `path` for binary writing, never reusing an existing file.
// nullptr on failure, with `alreadyExists` telling whether the name was taken
// and LastSystemError() the reason.
std::FILE* CreateNewStdioFile(const std::filesystem::path& path, bool& alreadyExists);

// Renames `from` over `to`, replacing it; answers 0 or the system's error code.
int ReplaceFileWith(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace mzt
