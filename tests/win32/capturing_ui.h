#pragma once
#include <string>

#include "app/win32/win32_ui.h"

namespace tessora::testing {

// The program's own UI, which at one progress step of a procedure paints the window and
// takes its screenshot: the only moment a picture of a running update can be had, as the
// procedure holds the window's thread.
class CapturingUi : public UiPort, public ProgressBar {
 public:
  CapturingUi(int step, std::string name) : step_(step), name_(std::move(name)) {}
  void Wrap(Win32Ui& ui) { ui_ = &ui; }

  void RepaintNow(const char* statusText) override { ui_->RepaintNow(statusText); }
  void ShowMessageBox(bool owned, const char* text, const char* caption, std::uint32_t style) override {
    ui_->ShowMessageBox(owned, text, caption, style);
  }
  bool AskFileName(FileQuestion question, char* path, std::size_t capacity) override {
    return ui_->AskFileName(question, path, capacity);
  }
  ProgressBar& Progress() override { return *this; }
  void StandardOutput(const char* line) override { ui_->StandardOutput(line); }
  void Create() override { ui_->Create(); }
  void SetRange(std::uint16_t maximum) override { ui_->SetRange(maximum); }
  void SetPosition(int position) override { ui_->SetPosition(position); }
  void Destroy() override { ui_->Destroy(); }
  void ProgressStep() override;

  bool captured = false;
  RECT barAtStep{};  // the progress bar, in the main window's client coordinates
  int positionAtStep = -1;

 private:
  Win32Ui* ui_ = nullptr;
  int step_;
  std::string name_;
  int steps_ = 0;
};

}  // namespace tessora::testing
