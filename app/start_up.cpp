#include "app/start_up.h"

#include <cstdio>

#include "app/procedures.h"
#include "app/stored_settings.h"
#include "app/start_text.h"

namespace tessora {

StartCommand BeginRun(ShellContext& shell, const char* commandLine) {
  StartCommand command = ParseStartCommandLine(commandLine, shell.nextChar);
  if (command.silent) {
    shell.silentMode = true;
    shell.ui.StandardOutput("Tessora - silent mode");
    shell.os.OutputDebugStringA("Tessora - silent mode");
  } else {
    shell.os.OutputDebugStringA("Tessora - normal mode");
  }
  return command;
}

void PrepareMainWindowText(ShellContext& shell) {
  LoadSettings(shell.settings, shell.store);
  BuildStartText(shell);
}

void RunCommandLineUpdate(ShellContext& shell, const char* fileName) {
  shell.updateResult = UpdateFirmware(shell, fileName);
  WriteExitCodeLine(shell);
}

void WriteExitCodeLine(ShellContext& shell) {
  if (!shell.silentMode) return;
  char line[32];
  std::snprintf(line, sizeof line, "Exit code: %d", shell.exitCode);
  shell.os.OutputDebugStringA(line);
}

int RunExitStatus(const ShellContext& shell) { return shell.updateResult == 0 ? 1 : 0; }

}  // namespace tessora
