#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/messages.h"
#include "app/procedures.h"
#include "app/strings.h"
#include "app/text_fit.h"
#include "engine/eeprom_transfer.h"
#include "engine/image_file.h"
#include "platform/timer_resolution.h"

namespace tessora {

namespace {

// A part addressed with one byte holds 256 bytes; reading on would only repeat them under
// addresses that cannot be programmed back.
constexpr std::uint16_t kOneBytePartSize = 256;

// With the automatic size the EEPROM's header decides; a header that cannot be right
// falls back to the manual size, with a message, and the read-out goes on.
void TakeSizeFromHeader(ShellContext& shell) {
  std::int32_t size = ReadHeaderSize(shell.engine, shell.settings.eepromAddress, shell.settings.subaddressing);
  if (size >= 1 && size <= MaxEepromSize) {
    shell.settings.readSize = static_cast<std::uint16_t>(size);
    return;
  }
  std::snprintf(shell.statusText.data(), shell.statusText.size(), "%s\nReading %d Bytes",
                LoadStringText(kStrHeaderIllegal), shell.settings.readSize);
  ShowMessage(shell, false, shell.statusText.data(), "OK", kStyleError);
  shell.ui.StandardOutput(shell.statusText.data());
}

int ReadOut(ShellContext& shell, std::uint16_t size, std::uint16_t block, std::string& fileProblem) {
  shell.tally.pageSize = block;
  shell.tally.pages = (size + block - 1u) / block;
  return ReadOutToFile(shell.engine, shell.ui.Progress(), shell.filePath.data(), shell.settings.eepromAddress, 0,
                       size, block, shell.settings.subaddressing, shell.imageFormat, &fileProblem);
}

// The file, not the EEPROM, is what failed: said so, with the system's reason.
int ReportFileProblem(ShellContext& shell, const std::string& problem) {
  // The reason first: a long name is what the window text cuts.
  std::string text = "Cannot write the file (" + problem + "): " + shell.filePath.data();
  CopyFitted(text, shell.statusText.data(), shell.statusText.size(), shell.nextChar);
  ReportStatusText(shell, "OK", kStyleError);
  shell.tally.outcome = kUpdateUnreadableImage;
  return 0;
}

}  // namespace

int ReadOutFirmware(ShellContext& shell, const char* fileName) {
  FineTimerResolution fineTimer(shell.os);
  ProcedureLock lock;
  if (ConnectAndProbe(shell, lock) != 0) return 0;
  if (fileName != nullptr && std::strlen(fileName) >= shell.filePath.size()) {
    ReportMessage(shell, kStrSelectFilename, nullptr, kStyleError);
    return 0;
  }
  if (!ChooseFile(shell, fileName, FileQuestion::Save)) {
    SetStatusText(shell, kStrSelectFilename);
    return 0;
  }

  ProgressBar& progress = shell.ui.Progress();
  progress.Create();
  if (shell.settings.readSizeAuto != 0) TakeSizeFromHeader(shell);
  std::uint16_t size = shell.settings.readSize;
  bool capped = shell.settings.subaddressing == 1 && size > kOneBytePartSize;
  if (capped) size = kOneBytePartSize;
  progress.SetRange(static_cast<std::uint16_t>(size / kReadOutLine));
  progress.SetPosition(0);
  progress.CountBytes(kReadOutLine, size);
  shell.tally.bytes = size;

  char text[kStatusTextSize];
  std::snprintf(text, sizeof text, "%s\nReading %d Bytes%s", LoadStringText(kStrDownloadInProgress), size,
                capped ? " (at most 256 with 1 Byte subaddressing)" : "");
  ShowProgressText(shell, text);

  // The bar stays on the window after the read-out, full or not.
  std::string fileProblem;
  int result = 1;
  for (std::uint16_t block : kReadOutBlocks) {
    // A block that failed midway leaves the bar part full: each try counts from the start.
    if (block != kReadOutBlocks[0]) {
      progress.SetPosition(0);
      progress.CountBytes(std::min(block, kReadOutLine), size);
    }
    result = ReadOut(shell, size, block, fileProblem);
    if (result == 0 || !fileProblem.empty() || StopRequested(shell.engine)) break;
  }
  if (!fileProblem.empty()) return ReportFileProblem(shell, fileProblem);
  if (result != 0 && StopRequested(shell.engine)) {
    ReportMessage(shell, kStrStoppedNoFile, nullptr, kStyleError);
    shell.tally.outcome = kUpdateStopped;
    return 0;
  }
  if (result != 0) {
    ReportMessage(shell, kStrCannotReadEeprom, "OK", kStyleError);
    shell.tally.outcome = kUpdateProgrammingFailed;
    return 0;
  }
  ReportMessage(shell, kStrDownloadSuccessful, "OK", kStyleInformation);
  shell.tally.outcome = kUpdateSucceeded;
  return 1;
}

}  // namespace tessora
