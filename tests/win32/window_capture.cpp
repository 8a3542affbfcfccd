#include "tests/win32/window_capture.h"

#include <filesystem>
#include <vector>

#include "tests/win32/png_file.h"
#include "tests/win32/program_paths.h"

namespace tessora::testing {

namespace {

struct WindowDc {
  HWND window;
  HDC dc;
  explicit WindowDc(HWND w) : window(w), dc(GetWindowDC(w)) {}
  ~WindowDc() {
    if (dc != nullptr) ReleaseDC(window, dc);
  }
};

struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC compatible) : dc(CreateCompatibleDC(compatible)) {}
  ~MemoryDc() {
    if (dc != nullptr) DeleteDC(dc);
  }
};

struct Bitmap {
  HBITMAP handle = nullptr;
  ~Bitmap() {
    if (handle != nullptr) DeleteObject(handle);
  }
};

bool PaintPending(HWND window) {
  if (GetUpdateRect(window, nullptr, FALSE)) return true;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    if (PaintPending(child)) return true;
  return false;
}

// A window just shown may not have painted yet, and another thread's window paints when
// that thread gets to it: once no update region is left, a sent message returns only after
// the paint under way has ended.
void PaintFully(HWND window) {
  constexpr UINT kEverything = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN;
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    RedrawWindow(window, nullptr, nullptr, kEverything | RDW_UPDATENOW);
    return;
  }
  RedrawWindow(window, nullptr, nullptr, kEverything);
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (PaintPending(window) && GetTickCount64() < deadline) Sleep(10);
  SendMessageA(window, WM_NULL, 0, 0);
}

}  // namespace

std::string ScreenshotFolder() {
  std::filesystem::path folder = std::filesystem::path(TestProgramFolder()).parent_path() / "screenshots";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder.string();
}

bool CaptureWindow(HWND window, const std::string& name) {
  PaintFully(window);
  RECT frame;
  if (!GetWindowRect(window, &frame)) return false;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  WindowDc source(window);
  MemoryDc memory(source.dc);
  if (source.dc == nullptr || memory.dc == nullptr || width <= 0 || height <= 0) return false;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Bitmap bitmap;
  bitmap.handle = CreateDIBSection(memory.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap.handle == nullptr) return false;
  HGDIOBJ previous = SelectObject(memory.dc, bitmap.handle);
  bool copied = BitBlt(memory.dc, 0, 0, width, height, source.dc, 0, 0, SRCCOPY) != FALSE;
  GdiFlush();
  SelectObject(memory.dc, previous);
  if (!copied) return false;

  const auto* bgrx = static_cast<const std::uint8_t*>(bits);
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  for (std::size_t pixel = 0; pixel < rgb.size() / 3; ++pixel) {
    rgb[pixel * 3] = bgrx[pixel * 4 + 2];
    rgb[pixel * 3 + 1] = bgrx[pixel * 4 + 1];
    rgb[pixel * 3 + 2] = bgrx[pixel * 4];
  }
  return WritePng(ScreenshotFolder() + "\\" + name + ".png", width, height, rgb);
}

}  // namespace tessora::testing
