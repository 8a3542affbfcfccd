#include <cstdio>

#include "app/messages.h"
#include "app/procedures.h"
#include "app/strings.h"
#include "engine/eeprom_transfer.h"

namespace tessora {

namespace {

constexpr int kLastHalvedPage = 4;

bool ClearWithFallback(ShellContext& shell) {
  ProgressBar& progress = shell.ui.Progress();
  int capacity = shell.settings.subaddressing == 2 ? MaxEepromSize : 256;
  int page = shell.engine.pageSize;
  for (;;) {
    progress.SetRange(static_cast<std::uint16_t>(page > 0 ? capacity / page : 0));
    progress.SetPosition(0);
    char text[kStatusTextSize];
    std::snprintf(text, sizeof text, "%s\npagesize %d", LoadStringText(kStrClearInProgress), page);
    ShowProgressText(shell, text);
    bool cleared = ClearEepromPages(shell.engine, progress, shell.settings.eepromAddress,
                                    shell.settings.subaddressing, static_cast<std::uint16_t>(page)) == 0;
    shell.engine.pageSize = cleared ? 0 : page >> 1;
    if (shell.engine.pageSize <= kLastHalvedPage) return cleared;
    page = shell.engine.pageSize;
  }
}

// A clear over HID leaves the device closed.
void CloseHidDevice(ShellContext& shell) {
  if (shell.settings.useHid != 0 && shell.engine.hidDevice) shell.engine.hidDevice->Close();
}

}  // namespace

int ClearEeprom(ShellContext& shell) {
  if (ConnectAndProbe(shell) != 0) return 0;
  shell.ui.Progress().Create();
  if (ClearWithFallback(shell)) {
    shell.ui.Progress().Destroy();
    ReportMessage(shell, kStrClearSuccessful, "OK", kStyleInformation);
    CloseHidDevice(shell);
    return 1;
  }
  ReportMessage(shell, kStrCannotClear, nullptr, kStyleError);
  shell.ui.Progress().Destroy();
  CloseHidDevice(shell);
  return 0;
}

}  // namespace tessora
