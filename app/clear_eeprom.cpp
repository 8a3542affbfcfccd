#include "app/messages.h"
#include "app/procedures.h"
#include "app/strings.h"
#include "engine/eeprom_transfer.h"
#include "platform/timer_resolution.h"

namespace tessora {

namespace {

bool ClearAttempt(ShellContext& shell, int page) {
  return ClearEepromPages(shell.engine, shell.ui.Progress(), shell.settings.eepromAddress,
                          shell.settings.subaddressing, static_cast<std::uint16_t>(page)) == 0;
}

// A clear over HID leaves the device closed.
void CloseHidDevice(ShellContext& shell) {
  if (shell.settings.useHid != 0 && shell.engine.hidDevice) shell.engine.hidDevice->Close();
}

}  // namespace

int ClearEeprom(ShellContext& shell) {
  FineTimerResolution fineTimer(shell.os);
  ProcedureLock lock;
  if (ConnectAndProbe(shell, lock) != 0) return 0;
  shell.ui.Progress().Create();
  int capacity = shell.settings.subaddressing == 2 ? MaxEepromSize : 256;
  if (TryPageSizes(shell, kStrClearInProgress, capacity, ClearAttempt)) {
    shell.ui.Progress().Destroy();
    ReportMessage(shell, kStrClearSuccessful, "OK", kStyleInformation);
    CloseHidDevice(shell);
    shell.tally.outcome = kUpdateSucceeded;
    return 1;
  }
  bool stopped = StopRequested(shell.engine);
  ReportMessage(shell, stopped ? kStrStoppedHeaderErased : kStrCannotClear, nullptr, kStyleError);
  shell.ui.Progress().Destroy();
  CloseHidDevice(shell);
  shell.tally.outcome = stopped ? kUpdateStopped : kUpdateProgrammingFailed;
  return 0;
}

}  // namespace tessora
