#pragma once
// The running program's process and whether another one still runs.

#include <cstdint>
#include <string>
#include <vector>

namespace mzt {

// The program's arguments after its name, in UTF-8 (Windows hands main()
// its arguments in the 8-bit code page, losing what that cannot hold).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

uint32_t CurrentProcessId();
// True also for a process that exists but belongs to someone else.
bool IsProcessRunning(uint32_t id);

}  // namespace mzt
