#include <cstring>
#include <memory>
#include <new>

#include "app/messages.h"
#include "app/procedures.h"
#include "app/strings.h"
#include "engine/image_file.h"
#include "engine/program_image.h"
#include "platform/timer_resolution.h"

namespace tessora {

namespace {

constexpr int kCountingCapacity = 65535;

// The image's data bytes, or 0 or less when it cannot be read.
int CountImage(const char* fileName) {
  std::unique_ptr<std::uint8_t[]> scratch(new (std::nothrow) std::uint8_t[kCountingCapacity]);
  if (!scratch) return 0;
  return ReadImageFile(fileName, scratch.get(), kCountingCapacity);
}

int Finish(ShellContext& shell, int outcome) {
  shell.exitCode = outcome;
  return outcome == kUpdateSucceeded ? 1 : 0;
}

int ReportUnreadableImage(ShellContext& shell, const char* fileName) {
  ComposeWithFileName(LoadStringText(kStrCannotReadImage), fileName, shell.statusText.data(),
                      shell.statusText.size(), shell.nextChar);
  ReportStatusText(shell, nullptr, kStyleError);
  return Finish(shell, kUpdateUnreadableImage);
}

bool ProgramAttempt(ShellContext& shell, int page) {
  // The silent run's debug output follows the progress text too.
  if (shell.silentMode) shell.os.OutputDebugStringA(shell.statusText.data());
  int width = shell.settings.subaddressing;
  return (width == 1 || width == 2) &&
         ProgramImage(shell.engine, shell.ui.Progress(), shell.filePath.data(), shell.settings.eepromAddress,
                      static_cast<std::uint16_t>(page), width) == 0;
}

}  // namespace

int UpdateFirmware(ShellContext& shell, const char* fileName) {
  FineTimerResolution fineTimer(shell.os);
  ProcedureLock lock;
  if (int failure = ConnectAndProbe(shell, lock); failure != 0) return Finish(shell, failure);

  // A name longer than the program keeps cannot be opened as given; shortening it could
  // name another file.
  if (fileName != nullptr && std::strlen(fileName) >= shell.filePath.size())
    return ReportUnreadableImage(shell, fileName);
  if (!ChooseFile(shell, fileName, FileQuestion::Open)) {
    SetStatusText(shell, kStrSelectImage);
    return 0;
  }

  int count = CountImage(shell.filePath.data());
  if (count <= 0) return ReportUnreadableImage(shell, shell.filePath.data());
  if (count > 256 && shell.settings.subaddressing == 1) {
    ReportMessage(shell, kStrTooLargeForOneByte, "OK", kStyleInformation);
    return Finish(shell, kUpdateTooLargeForOneByte);
  }

  shell.ui.Progress().Create();
  if (TryPageSizes(shell, kStrUpdateInProgress, count, ProgramAttempt)) {
    shell.ui.Progress().Destroy();
    ReportMessage(shell, kStrUpdateSuccessful, "OK", kStyleInformation);
    return Finish(shell, kUpdateSucceeded);
  }
  ReportMessage(shell, kStrCannotProgram, nullptr, kStyleError);
  shell.ui.Progress().Destroy();
  return Finish(shell, kUpdateProgrammingFailed);
}

}  // namespace tessora
