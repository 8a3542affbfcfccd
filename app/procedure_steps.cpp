#include <cstdio>
#include <string>

#include "app/messages.h"
#include "app/procedures.h"
#include "app/strings.h"
#include "devlib/bus_command.h"
#include "devlib/qorv_device_library.h"
#include "engine/connection.h"
#include "engine/eeprom_transfer.h"

namespace tessora {

namespace {

// The device lock the driver interfaces last failed to take, forgotten as it is told;
// empty over HID, whose requests take none.
std::string TakeDeviceLockFailure(ShellContext& shell) {
  QorvDeviceLibrary* devices = shell.engine.driverDevices;
  return shell.settings.useHid == 0 && devices != nullptr ? devices->TakeLockFailure() : std::string();
}

// "Could not lock the device.", with the lock's name where the shell names locks.
void ReportCannotLock(ShellContext& shell, const std::string& lockName) {
  if (!shell.namesLocks || lockName.empty()) {
    ReportMessage(shell, kStrCannotLock, nullptr, kStyleError);
    return;
  }
  char text[kStatusTextSize];
  std::snprintf(text, sizeof text, "%s\nThe lock \"%s\" could not be taken.", LoadStringText(kStrCannotLock),
                lockName.c_str());
  CopyFitted(text, shell.statusText.data(), shell.statusText.size(), shell.nextChar);
  ReportStatusText(shell, nullptr, kStyleError);
}

bool ConnectAndLock(ShellContext& shell, ProcedureLock& lock) {
  TakeDeviceLockFailure(shell);  // one from before this connection is none of its business
  if (!ConnectDevice(shell.engine)) {
    // A WinUSB device answers no request without its lock: one it could not take is no
    // missing device.
    std::string lockName = TakeDeviceLockFailure(shell);
    if (shell.namesLocks && !lockName.empty()) ReportCannotLock(shell, lockName);
    else ReportMessage(shell, kStrNoDevice, nullptr, kStyleError);
    return false;
  }
  switch (lock.Take(shell.os, shell.engine)) {
    case LockOutcome::Taken:
      return true;
    case LockOutcome::InUse:
      ReportMessage(shell, kStrDeviceInUse, nullptr, kStyleError);
      return false;
    case LockOutcome::Unavailable:
      break;
  }
  ReportCannotLock(shell, lock.Name());
  return false;
}

}  // namespace

int ConnectAndProbe(ShellContext& shell, ProcedureLock& lock) {
  shell.tally = ProcedureTally{};
  if (!ConnectAndLock(shell, lock)) return shell.tally.outcome = kUpdateNoDevice;
  // The probe always sends two subaddress bytes: a small part answers them too.
  const std::uint8_t start[2] = {0x00, 0x00};
  std::uint8_t probe[64];
  std::uint16_t count = static_cast<std::uint16_t>(shell.engine.pageSize);
  int probed = ReadEepromBlock(shell.engine, shell.settings.eepromAddress, 2, start, count, probe);
  // A device whose request lock another program keeps for longer than the time-out is
  // no missing EEPROM.
  if (probed == kBusLockTimeout && shell.settings.useHid == 0) {
    ReportCannotLock(shell, TakeDeviceLockFailure(shell));
    return shell.tally.outcome = kUpdateNoDevice;
  }
  if (probed != 0) {
    ReportMessage(shell, kStrNoEeprom, nullptr, kStyleError);
    return shell.tally.outcome = kUpdateNoEeprom;
  }
  return 0;
}

bool ChooseFile(ShellContext& shell, const char* fileName, FileQuestion question) {
  if (fileName != nullptr) {
    CopyFitted(fileName, shell.filePath.data(), shell.filePath.size(), shell.nextChar);
  } else if (!shell.ui.AskFileName(question, shell.filePath.data(), shell.filePath.size())) {
    shell.filePath[0] = '\0';
  }
  return shell.filePath[0] != '\0';
}

void ReportUnreadableImage(ShellContext& shell, const char* fileName) {
  ComposeWithFileName(LoadStringText(kStrCannotReadImage), fileName, shell.statusText.data(),
                      shell.statusText.size(), shell.nextChar);
  ReportStatusText(shell, nullptr, kStyleError);
  shell.tally.outcome = kUpdateUnreadableImage;
}

bool TryPageSizes(ShellContext& shell, int textId, int total, PageAttempt attempt) {
  constexpr int kLastHalvedPage = 4;
  ProgressBar& progress = shell.ui.Progress();
  int page = shell.engine.pageSize;
  for (;;) {
    progress.SetRange(static_cast<std::uint16_t>(page > 0 ? total / page : 0));
    progress.SetPosition(0);
    progress.CountBytes(static_cast<std::uint32_t>(page), static_cast<std::uint32_t>(total));
    shell.tally.bytes = static_cast<std::uint32_t>(total);
    shell.tally.pageSize = page;
    shell.tally.pages = page > 0 ? static_cast<std::uint32_t>((total + page - 1) / page) : 0;
    char text[kStatusTextSize];
    std::snprintf(text, sizeof text, "%s\npagesize %d", LoadStringText(textId), page);
    ShowProgressText(shell, text);
    bool succeeded = attempt(shell, page);
    shell.engine.pageSize = succeeded ? 0 : page >> 1;
    if (shell.engine.pageSize <= kLastHalvedPage || (!succeeded && StopRequested(shell.engine))) return succeeded;
    page = shell.engine.pageSize;
  }
}

// A reboot in the middle of another Tessora's update would spoil it as well.
bool RebootCommand(ShellContext& shell, int mode, RefusalReport refusal) {
  shell.tally = ProcedureTally{};
  ProcedureLock lock;
  if (!ConnectAndLock(shell, lock)) {
    shell.tally.outcome = kUpdateNoDevice;
    return false;
  }
  if (RebootDevice(shell.engine, mode) == 1) {
    shell.tally.outcome = kUpdateSucceeded;
    return true;
  }
  shell.tally.outcome = kUpdateNoDevice;
  if (refusal == RefusalReport::Message) ReportMessage(shell, kStrNoDevice, nullptr, kStyleError);
  return false;
}

}  // namespace tessora
