#pragma once
#include <windows.h>

#include <string>

namespace tessora::testing {

// Has the window repainted and saves what it shows, frame included, as
// build/<preset>/screenshots/<name>.png. The window's thread must be free to paint (or be
// this thread). False when nothing could be captured.
bool CaptureWindow(HWND window, const std::string& name);

}  // namespace tessora::testing
