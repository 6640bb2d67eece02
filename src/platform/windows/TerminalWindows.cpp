#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/Terminal.h"

namespace mzt {
namespace {

std::atomic<bool> g_caught{false};
std::atomic<int> g_count{0};
std::atomic<bool> g_terminated{false};
// The handler wakes WaitForInterrupt through this event.
HANDLE g_wake = nullptr;

// Runs on a thread of its own that the system starts for each Ctrl-C.
BOOL WINAPI OnConsoleControl(DWORD type) {
  if (!g_caught.load()) return FALSE;  // the default handler ends the program
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
    g_count.fetch_add(1);
    if (g_wake) ::SetEvent(g_wake);
    return TRUE;
  }
  if (type != CTRL_CLOSE_EVENT && type != CTRL_LOGOFF_EVENT && type != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  g_terminated.store(true);
  if (g_wake) ::SetEvent(g_wake);
  // The process ends when this returns: the waiting thread gets the
  // system's grace time to stop the device's change and remove the work
  // files, and ends the program itself.
  ::Sleep(INFINITE);
  return TRUE;
}

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

}  // namespace

void PrepareConsole() {
  // A console shows the bytes in its own code page (950 or 437, say);
  // the program writes UTF-8.
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
}

bool IsInteractiveInput() { return IsConsole(STD_INPUT_HANDLE); }
bool IsInteractiveOutput() { return IsConsole(STD_ERROR_HANDLE); }

// The console redraws a line whatever TERM says.
bool RedrawsInPlace() { return IsInteractiveOutput(); }

bool ColourWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  if (noColour && *noColour) return false;
  HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!::GetConsoleMode(error, &mode)) return false;
  // The escape sequences need the console's terminal processing (Windows 10
  // and later); an older console shows them as text.
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  return ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool ReadLine(std::string& line) {
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void InstallInterruptHandler() {
  if (!g_wake) g_wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void CatchInterrupts(bool caught) { g_caught.store(caught); }
int InterruptCount() { return g_count.load(); }
bool TerminationRequested() { return g_terminated.load(); }

int WaitForInterrupt(int seen, std::chrono::milliseconds timeout) {
  if (g_count.load() <= seen && g_wake)
    ::WaitForSingleObject(g_wake, static_cast<DWORD>(timeout.count()));
  return g_count.load();
}

void WakeInterruptWaiter() {
  if (g_wake) ::SetEvent(g_wake);
}

}  // namespace mzt
