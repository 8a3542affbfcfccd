#include "app/messages.h"

#include "app/strings.h"

namespace tessora {

void ShowMessage(ShellContext& shell, bool ownedByMainWindow, const char* text, const char* caption,
                 std::uint32_t style) {
  if (shell.silentMode) {
    shell.os.OutputDebugStringA(text);
    return;
  }
  shell.ui.ShowMessageBox(ownedByMainWindow, text, caption, style);
}

void SetStatusText(ShellContext& shell, int stringId) {
  CopyFitted(LoadStringText(stringId), shell.statusText.data(), shell.statusText.size(), shell.nextChar);
}

void ReportStatusText(ShellContext& shell, const char* caption, std::uint32_t style) {
  ShowMessage(shell, false, shell.statusText.data(), caption, style);
  shell.ui.StandardOutput(shell.statusText.data());
}

void ReportMessage(ShellContext& shell, int stringId, const char* caption, std::uint32_t style) {
  SetStatusText(shell, stringId);
  ReportStatusText(shell, caption, style);
}

void ShowProgressText(ShellContext& shell, const char* text) {
  CopyFitted(text, shell.statusText.data(), shell.statusText.size(), shell.nextChar);
  shell.ui.StandardOutput(shell.statusText.data());
  shell.ui.RepaintNow(shell.statusText.data());
}

}  // namespace tessora
