#pragma once
#include <windows.h>

#include <string>

#include "app/win32/win32_program.h"
#include "tests/win32/board_folder.h"
#include "tests/win32/capturing_ui.h"

namespace tessora::testing {

// The Windows program's main window, made in this process as the program makes it and on
// a simulated board, so that the test's thread is the window's thread and can hand it
// what only a local window takes (a drop handle, a look at the shell's state).
class ProgramWindow {
 public:
  // Starts with the stored settings; capture, when given, wraps the program's own UI.
  explicit ProgramWindow(BoardFolder& board, CapturingUi* capture = nullptr);
  ~ProgramWindow();
  ProgramWindow(const ProgramWindow&) = delete;
  ProgramWindow& operator=(const ProgramWindow&) = delete;

  bool Started() const { return window_ != nullptr; }
  HWND Window() const { return window_; }
  Win32Program& Program() { return program_; }
  ShellContext& Shell() { return *program_.shell; }
  std::string StatusText() const { return program_.shell->statusText.data(); }
  LRESULT Command(int id) { return SendMessageA(window_, WM_COMMAND, id, 0); }
  // Writes the simulated EEPROM back to the board folder.
  bool SaveBoard();

 private:
  Win32Program program_;
  HWND window_ = nullptr;
};

}  // namespace tessora::testing
