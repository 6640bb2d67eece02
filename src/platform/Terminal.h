#pragma once
// The terminal the command line talks to: whether there is one, reading an
// answer, colours, and Ctrl-C.

#include <chrono>
#include <string>

namespace mzt {

// Readies the console for the program's UTF-8 text (Windows; nothing on
// Linux, where terminals take UTF-8 as it is).
void PrepareConsole();

bool IsInteractiveInput();
// Standard error, where messages, questions and progress go.
bool IsInteractiveOutput();
// Standard error is a terminal that takes a carriage return and escape
// sequences to redraw a line (not TERM=dumb).
bool RedrawsInPlace();
// Colours on such a standard error, unless NO_COLOR is set.
bool ColourWanted();
// Reads one line from standard input; false at its end.
bool ReadLine(std::string& line);

// Ctrl-C: while caught, each one is only counted (InterruptCount,
// WaitForInterrupt); otherwise it ends the program as usual. The same holds
// for the requests to end that come while nobody may be watching: a hang-up,
// a termination request, and standard error's reader gone (a closed pipe,
// which is noticed while a waiter waits; a broken pipe never kills the
// program, its writes fail instead).
void InstallInterruptHandler();
void CatchInterrupts(bool caught);
int InterruptCount();
// One of the requests to end other than Ctrl-C has come while caught.
bool TerminationRequested();
// Waits until more than `seen` interrupts have come, or a termination
// request, at most `timeout`; answers the count.
int WaitForInterrupt(int seen, std::chrono::milliseconds timeout);
// Ends a WaitForInterrupt now, as if its time were up.
void WakeInterruptWaiter();
// Ends the program at once with `status`, standard output and error flushed.
[[noreturn]] void ExitNow(int status);

}  // namespace mzt
