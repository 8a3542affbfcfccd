#include <cstring>
#include <memory>
#include <new>

#include "app/messages.h"
#include "app/procedures.h"
#include "app/strings.h"
#include "engine/image_file.h"
#include "engine/program_changed_pages.h"
#include "engine/program_image.h"
#include "platform/timer_resolution.h"

namespace tessora {

namespace {

constexpr int kCountingCapacity = 65535;

// The image's length, or 0 or less when it cannot be read. The formats the console
// adds are checked against the largest part here, so that an address beyond it is an
// unreadable image before anything is written.
int CountImage(const ShellContext& shell) {
  const char* fileName = shell.filePath.data();
  ImageProblem ignored;
  if (shell.consoleImageRules && CheckImageText(fileName, shell.imageFormat, ignored) != 0) return 0;
  std::unique_ptr<std::uint8_t[]> scratch(new (std::nothrow) std::uint8_t[kCountingCapacity]);
  if (!scratch) return 0;
  if (shell.imageFormat == ImageFormat::Text) return ReadImageFile(fileName, scratch.get(), kCountingCapacity);
  return ReadImageAs(fileName, shell.imageFormat, scratch.get(), MaxEepromSize);
}

int Finish(ShellContext& shell, int outcome) {
  shell.exitCode = outcome;
  shell.tally.outcome = outcome;
  return outcome == kUpdateSucceeded ? 1 : 0;
}

int FinishUnreadable(ShellContext& shell, const char* fileName) {
  ReportUnreadableImage(shell, fileName);
  return Finish(shell, kUpdateUnreadableImage);
}

bool ProgramAttempt(ShellContext& shell, int page) {
  // The silent run's debug output follows the progress text too.
  if (shell.silentMode) shell.os.OutputDebugStringA(shell.statusText.data());
  int width = shell.settings.subaddressing;
  if (width != 1 && width != 2) return false;
  auto pageSize = static_cast<std::uint16_t>(page);
  if (shell.updateChangedOnly)
    return ProgramChangedPages(shell.engine, shell.ui.Progress(), shell.filePath.data(), shell.imageFormat,
                               shell.settings.eepromAddress, pageSize, width, shell.tally.pages) == 0;
  return ProgramImage(shell.engine, shell.ui.Progress(), shell.filePath.data(), shell.settings.eepromAddress,
                      pageSize, width, shell.imageFormat) == 0;
}

}  // namespace

int UpdateFirmware(ShellContext& shell, const char* fileName) {
  FineTimerResolution fineTimer(shell.os);
  ProcedureLock lock;
  if (int failure = ConnectAndProbe(shell, lock); failure != 0) return Finish(shell, failure);

  // A name longer than the program keeps cannot be opened as given; shortening it could
  // name another file.
  if (fileName != nullptr && std::strlen(fileName) >= shell.filePath.size())
    return FinishUnreadable(shell, fileName);
  if (!ChooseFile(shell, fileName, FileQuestion::Open)) {
    SetStatusText(shell, kStrSelectImage);
    return 0;
  }

  int count = CountImage(shell);
  if (count <= 0) return FinishUnreadable(shell, shell.filePath.data());
  if (count > 256 && shell.settings.subaddressing == 1) {
    ReportMessage(shell, kStrTooLargeForOneByte, "OK", kStyleInformation);
    return Finish(shell, kUpdateTooLargeForOneByte);
  }
  if (shell.consoleImageRules && count > static_cast<int>(MaxEepromSize))
    return FinishUnreadable(shell, shell.filePath.data());

  shell.ui.Progress().Create();
  if (TryPageSizes(shell, kStrUpdateInProgress, count, ProgramAttempt)) {
    shell.ui.Progress().Destroy();
    ReportMessage(shell, kStrUpdateSuccessful, "OK", kStyleInformation);
    return Finish(shell, kUpdateSucceeded);
  }
  bool stopped = StopRequested(shell.engine);
  ReportMessage(shell, stopped ? kStrStoppedHeaderErased : kStrCannotProgram, nullptr, kStyleError);
  shell.ui.Progress().Destroy();
  return Finish(shell, stopped ? kUpdateStopped : kUpdateProgrammingFailed);
}

}  // namespace tessora
