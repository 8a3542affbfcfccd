#include <cstdio>
#include <cstring>
#include <vector>

#include "app/messages.h"
#include "app/procedures.h"
#include "app/strings.h"
#include "engine/compare_eeprom.h"
#include "platform/timer_resolution.h"

namespace tessora {

namespace {

int Finish(ShellContext& shell, int outcome) {
  shell.tally.outcome = outcome;
  return outcome == kUpdateSucceeded ? 1 : 0;
}

void ReportDifference(ShellContext& shell, const ImageMismatch& mismatch) {
  std::snprintf(shell.statusText.data(), shell.statusText.size(),
                "EEPROM differs from the image in %u byte%s; first at 0x%04x: expected 0x%02x, found 0x%02x",
                static_cast<unsigned>(mismatch.count), mismatch.count == 1 ? "" : "s",
                static_cast<unsigned>(mismatch.firstAddress),
                static_cast<unsigned>(mismatch.expected), static_cast<unsigned>(mismatch.found));
  ReportStatusText(shell, nullptr, kStyleError);
}

}  // namespace

int VerifyFirmware(ShellContext& shell, const char* fileName) {
  FineTimerResolution fineTimer(shell.os);
  ProcedureLock lock;
  if (int failure = ConnectAndProbe(shell, lock); failure != 0) return Finish(shell, failure);
  if (fileName != nullptr && std::strlen(fileName) >= shell.filePath.size()) {
    ReportUnreadableImage(shell, fileName);
    return 0;
  }
  if (!ChooseFile(shell, fileName, FileQuestion::Open)) {
    SetStatusText(shell, kStrSelectImage);
    return 0;
  }
  std::vector<std::uint8_t> image;
  ImageProblem ignored;
  int size = shell.consoleImageRules && CheckImageText(shell.filePath.data(), shell.imageFormat, ignored) != 0
                 ? 0
                 : LoadImageForPart(shell.filePath.data(), shell.imageFormat, shell.settings.subaddressing, image);
  if (size <= 0) {
    ReportUnreadableImage(shell, shell.filePath.data());
    return 0;
  }

  int block = shell.engine.pageSize > 0 && shell.engine.pageSize <= 64 ? shell.engine.pageSize : 64;
  ProgressBar& progress = shell.ui.Progress();
  progress.Create();
  progress.SetRange(static_cast<std::uint16_t>(size / block));
  progress.SetPosition(0);
  progress.CountBytes(static_cast<std::uint32_t>(block), static_cast<std::uint32_t>(size));
  shell.tally.bytes = static_cast<std::uint32_t>(size);
  shell.tally.pageSize = block;
  shell.tally.pages = static_cast<std::uint32_t>((size + block - 1) / block);
  char text[kStatusTextSize];
  std::snprintf(text, sizeof text, "Comparing %d Bytes", size);
  ShowProgressText(shell, text);

  int read = CompareEeprom(shell.engine, progress, shell.settings.eepromAddress, shell.settings.subaddressing,
                           image.data(), static_cast<std::uint32_t>(size), static_cast<std::uint16_t>(block),
                           shell.tally.mismatch);
  progress.Destroy();
  if (read != 0) {
    ReportMessage(shell, kStrCannotReadEeprom, "OK", kStyleError);
    return Finish(shell, kUpdateProgrammingFailed);
  }
  if (shell.tally.mismatch.count != 0) {
    ReportDifference(shell, shell.tally.mismatch);
    return Finish(shell, kVerifyDiffers);
  }
  ReportMessage(shell, kStrCompareSuccessful, "OK", kStyleInformation);
  return Finish(shell, kUpdateSucceeded);
}

}  // namespace tessora
