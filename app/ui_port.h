#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/progress.h"

namespace tessora {

// Message box styles: a single OK button, topmost and in the foreground.
constexpr std::uint32_t kStyleError = 0x50010;        // MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST
constexpr std::uint32_t kStyleInformation = 0x50040;  // MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TOPMOST
constexpr std::uint32_t kStyleErrorIcon = 0x10;       // MB_ICONERROR alone

enum class FileQuestion { Open, Save };

// The progress bar along the bottom edge of the main window.
class ProgressBar : public Progress {
 public:
  virtual void Create() = 0;  // a new bar, step 1
  virtual void SetRange(std::uint16_t maximum) = 0;
  virtual void SetPosition(int position) = 0;
  virtual void Destroy() = 0;
  // What a step stands for, for a bar that shows bytes: the window's bar shows none.
  virtual void CountBytes(std::uint32_t /*bytesPerStep*/, std::uint32_t /*totalBytes*/) {}
};

// Everything the shell's procedures show or ask: the Win32 window, the Linux console,
// or a recording double in tests.
class UiPort {
 public:
  virtual ~UiPort() = default;

  // The main window's text changed: repaint it now, before the next transfer starts.
  virtual void RepaintNow(const char* statusText) = 0;
  // A modal message box; caption null for the system's default caption.
  virtual void ShowMessageBox(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) = 0;
  // Asks for a file name into path (capacity bytes, holding the initial name). False
  // when the question was cancelled, failed or cannot be asked.
  virtual bool AskFileName(FileQuestion question, char* path, std::size_t capacity) = 0;
  virtual ProgressBar& Progress() = 0;
  // One line of the program's own output (the line feed is the port's).
  virtual void StandardOutput(const char* line) = 0;
};

}  // namespace tessora
