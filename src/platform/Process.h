#pragma once
// The running program's process and whether another one still runs.

#include <cstdint>

namespace mzt {

uint32_t CurrentProcessId();
// True also for a process that exists but belongs to someone else.
bool IsProcessRunning(uint32_t id);

}  // namespace mzt
