#pragma once
#include <windows.h>

#include "app/ui_port.h"

namespace tessora {

// The shell's UI on the main window: forced repaints of its text, message boxes, the
// open and save dialogs, and the progress bar along the window's bottom edge.
class Win32Ui : public UiPort, public ProgressBar {
 public:
  void SetMainWindow(HWND window) { mainWindow_ = window; }
  HWND MainWindow() const { return mainWindow_; }
  HWND ProgressWindow() const { return progress_; }

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
  HWND mainWindow_ = nullptr;
  HWND progress_ = nullptr;
};

}  // namespace tessora
