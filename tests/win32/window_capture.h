#pragma once
#include <windows.h>

#include <vector>

namespace tessora::test {

// What a window showed, frame included, as 0x00RRGGBB pixels row by row from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;

  // Pixels of the rectangle (window coordinates, clipped to the picture) whose colour is
  // the system colour given by index (COLOR_HIGHLIGHT, COLOR_WINDOWTEXT, ...).
  int CountColour(const RECT& area, int systemColour) const;
};

// Has the window repainted and takes what it shows, frame included. The window's thread
// must be free to paint (or be this thread). False when nothing could be captured.
bool CaptureWindow(HWND window, Picture& picture);

// A child's rectangle in its top-level window's picture coordinates.
RECT RectInWindow(HWND topLevel, HWND child);

}  // namespace tessora::test
