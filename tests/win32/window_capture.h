#pragma once
#include <windows.h>

#include <string>

namespace tessora::testing {

// Folder of the screenshots: build/<preset>/screenshots beside the tests' folder, created
// when missing.
std::string ScreenshotFolder();

// Saves what the window shows on screen, frame included, as <ScreenshotFolder>/<name>.png.
// The window's thread must have painted it. False when nothing could be captured.
bool CaptureWindow(HWND window, const std::string& name);

}  // namespace tessora::testing
