#include "tests/win32/program_window.h"

#include "app/program_devices.h"

namespace tessora::testing {

ProgramWindow::ProgramWindow(BoardFolder& board, CapturingUi* capture) {
  const std::string directory = board.Path();
  bool built = BuildProgram(program_, GetModuleHandleA(nullptr),
                            [&](Settings& settings, OsServices& os, std::string& error) -> std::unique_ptr<DeviceAccess> {
                              return SimulatedDeviceAccess::Open(directory, settings, os, error);
                            });
  if (!built) return;
  if (capture != nullptr) {
    capture->Wrap(program_.ui);
    program_.shell = std::make_unique<ShellContext>(program_.settings, program_.devices->Engine(), *capture, *program_.os,
                                                    *program_.store, NextAnsiChar);
    program_.devices->AttachShell(*program_.shell);
  }
  window_ = CreateMainWindow(program_, RegisterMainWindowClass(program_.instance), SW_SHOWNORMAL);
}

ProgramWindow::~ProgramWindow() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  // The destroyed window's quit message must not end this thread's next modal loop.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

bool ProgramWindow::SaveBoard() {
  std::string error;
  return program_.devices->Finish(error);
}

}  // namespace tessora::testing
