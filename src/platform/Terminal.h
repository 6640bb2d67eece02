#pragma once
// The terminal the command line talks to: whether there is one, reading an
// answer, colours, and Ctrl-C.

#include <string>

namespace mzt {

bool IsInteractiveInput();
bool IsInteractiveOutput();
// Reads one line from standard input; false at its end.
bool ReadLine(std::string& line);

// Ctrl-C: while caught, it only raises the flag that InterruptRequested
// reads; otherwise it ends the program as usual.
void InstallInterruptHandler();
void CatchInterrupts(bool caught);
bool InterruptRequested();
void ClearInterrupt();

}  // namespace mzt
