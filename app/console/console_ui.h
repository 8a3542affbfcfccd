#pragma once
#include <cstdio>

#include "app/ui_port.h"

namespace tessora {

// The shell on a Linux console: the program's own lines on standard output, message
// boxes as lines on standard error, and a progress bar on standard error only when that
// is a terminal and the run is not silent. It never asks: a missing file name stays missing.
class ConsoleUi : public UiPort, public ProgressBar {
 public:
  explicit ConsoleUi(const bool& silentMode);

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

 private:
  bool BarVisible() const { return barActive_ && interactive_ && !silentMode_; }
  void DrawBar();
  void EraseBar();

  const bool& silentMode_;
  bool interactive_;
  bool barActive_ = false;
  bool barDrawn_ = false;
  int maximum_ = 0;
  int position_ = 0;
};

}  // namespace tessora
