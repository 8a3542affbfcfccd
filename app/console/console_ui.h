#pragma once
#include <chrono>
#include <cstdio>
#include <string>

#include "app/ui_port.h"

namespace tessora {

// Where the console's texts go, decided once at start-up from the options and from what
// the two streams are.
struct ConsoleStreams {
  // The system's own progress and message lines: standard output, or standard error where
  // standard output carries the results or the image; null with --quiet.
  std::FILE* programLines = stdout;
  bool errorsOnly = false;  // of the message boxes, only the errors (--quiet)
  bool progressBar = false;  // a progress bar on standard error (a terminal)
};

// The shell on a console: the program's own lines on standard output (see ConsoleStreams),
// errors on standard error, and a progress bar (bytes done, rate, time left) on standard error when it is a
// terminal and the run is not silent. Each message is written once, wherever the two
// streams end: the system shows a message box and then writes the same text as a line, so
// an error goes to standard error alone and any other message is left to its line. Without
// the program's lines every message box is a line on standard error. It never asks: a
// missing file name stays missing.
class ConsoleUi : public UiPort, public ProgressBar {
 public:
  ConsoleUi(const bool& silentMode, ConsoleStreams streams);

  void RepaintNow(const char* statusText) override;
  void ShowMessageBox(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) override;
  bool AskFileName(FileQuestion question, char* path, std::size_t capacity) override;
  ProgressBar& Progress() override { return *this; }
  void StandardOutput(const char* line) override;

  void Create() override;
  void SetRange(std::uint16_t maximum) override;
  void SetPosition(int position) override;
  void Destroy() override;
  void ProgressStep() override;
  void CountBytes(std::uint32_t bytesPerStep, std::uint32_t totalBytes) override;

 private:
  bool BarVisible() const { return barActive_ && streams_.progressBar && !silentMode_; }
  void DrawBar();
  void EraseBar();

  const bool& silentMode_;
  ConsoleStreams streams_;
  // The error just written to standard error, which the program's next line repeats.
  std::string errorSaid_;
  bool barActive_ = false;
  bool barDrawn_ = false;
  int maximum_ = 0;
  int position_ = 0;
  // Bytes, when the procedure said what a step stands for.
  std::uint32_t bytesPerStep_ = 0;
  std::uint32_t totalBytes_ = 0;
  std::uint32_t steps_ = 0;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace tessora
