#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "app/messages.h"
#include "app/procedures.h"
#include "app/strings.h"
#include "engine/image_file.h"
#include "engine/program_image.h"

namespace tessora {

namespace {

constexpr int kCountingCapacity = 65535;
// Page sizes are halved after each failure while they stay above this.
constexpr int kLastHalvedPage = 4;

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

// Tries the page sizes from the connection's down to 8, halving after each failure.
bool ProgramWithFallback(ShellContext& shell, int count) {
  ProgressBar& progress = shell.ui.Progress();
  int page = shell.engine.pageSize;
  for (;;) {
    progress.SetRange(static_cast<std::uint16_t>(page > 0 ? count / page : 0));
    progress.SetPosition(0);
    char text[kStatusTextSize];
    std::snprintf(text, sizeof text, "%s\npagesize %d", LoadStringText(kStrUpdateInProgress), page);
    ShowProgressText(shell, text);
    if (shell.silentMode) shell.os.OutputDebugStringA(text);

    int width = shell.settings.subaddressing;
    bool written = (width == 1 || width == 2) &&
                   ProgramImage(shell.engine, progress, shell.filePath.data(), shell.settings.eepromAddress,
                                static_cast<std::uint16_t>(page), width) == 0;
    shell.engine.pageSize = written ? 0 : page >> 1;
    if (shell.engine.pageSize <= kLastHalvedPage) return written;
    page = shell.engine.pageSize;
  }
}

}  // namespace

int UpdateFirmware(ShellContext& shell, const char* fileName) {
  if (int failure = ConnectAndProbe(shell); failure != 0) return Finish(shell, failure);

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
  if (ProgramWithFallback(shell, count)) {
    shell.ui.Progress().Destroy();
    ReportMessage(shell, kStrUpdateSuccessful, "OK", kStyleInformation);
    return Finish(shell, kUpdateSucceeded);
  }
  ReportMessage(shell, kStrCannotProgram, nullptr, kStyleError);
  shell.ui.Progress().Destroy();
  return Finish(shell, kUpdateProgrammingFailed);
}

}  // namespace tessora
