#include "tests/win32/capturing_ui.h"

#include <commctrl.h>

#include "tests/win32/window_capture.h"

namespace tessora::testing {

void CapturingUi::ProgressStep() {
  ui_->ProgressStep();
  if (++steps_ != step_) return;
  HWND main = ui_->MainWindow();
  HWND bar = ui_->ProgressWindow();
  GetWindowRect(bar, &barAtStep);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&barAtStep), 2);
  positionAtStep = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
  captured = CaptureWindow(main, name_);
}

}  // namespace tessora::testing
