#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "app/console/console_platform.h"

namespace tessora {

// Windows hands a program no free handle number of a closed stream to reuse, and has no
// SIGPIPE.
bool GuardStandardStreams() { return true; }

bool NamesStream(const char* /*path*/, int /*fd*/) { return false; }

namespace {

// All the control handler's thread can reach: the request of the StopSignals that lives.
std::atomic<StopRequest*> stopTarget{nullptr};

BOOL WINAPI RequestStop(DWORD event) {
  StopRequest* stop = stopTarget.load();
  if (stop == nullptr) return FALSE;
  bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  stop->Request(interrupt ? SIGINT : SIGTERM);
  // The system ends the process as soon as this returns from a close, log-off or shut-down
  // event: waiting here lets the procedure reach its safe point and the program end itself
  // first, within the few seconds the system allows.
  if (!interrupt) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

StopSignals::StopSignals(StopRequest& stop) {
  stopTarget.store(&stop);
  SetConsoleCtrlHandler(RequestStop, TRUE);
}

StopSignals::~StopSignals() {
  SetConsoleCtrlHandler(RequestStop, FALSE);
  stopTarget.store(nullptr);
}

// A console takes escape sequences only once asked to (Windows 10 and later).

bool EnableTerminalSequences() {
  HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

int PrintUdevRule(DeviceStack* /*realStack*/) {
  std::fprintf(stderr, "tessora: --udev-rule is for Linux; Windows reaches the controllers through its drivers\n");
  return 2;
}

// Windows reports its own device problems through the messages the run has shown.
void ExplainFailure(const Settings& /*settings*/) {}

}  // namespace tessora
