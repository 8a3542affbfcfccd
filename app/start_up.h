#pragma once
#include "app/command_line.h"
#include "app/shell_context.h"

namespace tessora {

// A run's start: reads the command line, enters silent mode for "-s" and writes the
// mode line.
StartCommand BeginRun(ShellContext& shell, const char* commandLine);

// What the main window's creation does beyond the window: the settings and the start text.
void PrepareMainWindowText(ShellContext& shell);

// The update named on the command line; in silent mode the outcome code follows on the
// debug output.
void RunCommandLineUpdate(ShellContext& shell, const char* fileName);

// In silent mode, the update's outcome code as the run's last debug line.
void WriteExitCodeLine(ShellContext& shell);

// The process exit status of a run: 1 only when an update from the command line failed.
int RunExitStatus(const ShellContext& shell);

}  // namespace tessora
