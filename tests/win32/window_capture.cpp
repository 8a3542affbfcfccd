#include "tests/win32/window_capture.h"

#include <algorithm>

namespace tessora::test {

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
  HBITMAP handle;
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

bool ReadPixels(HDC dc, HBITMAP bitmap, int width, int height, Picture& picture) {
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(static_cast<std::size_t>(width) * height, 0);
  return GetDIBits(dc, bitmap, 0, height, picture.pixels.data(), &format, DIB_RGB_COLORS) == height;
}

}  // namespace

int Picture::CountColour(const RECT& area, int systemColour) const {
  const COLORREF colour = GetSysColor(systemColour);  // 0x00BBGGRR
  const DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  int count = 0;
  for (int y = std::max(0L, area.top); y < std::min<LONG>(height, area.bottom); ++y)
    for (int x = std::max(0L, area.left); x < std::min<LONG>(width, area.right); ++x)
      count += (pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF) == wanted;
  return count;
}

RECT RectInWindow(HWND topLevel, HWND child) {
  RECT frame{}, rect{};
  GetWindowRect(topLevel, &frame);
  GetWindowRect(child, &rect);
  OffsetRect(&rect, -frame.left, -frame.top);
  return rect;
}

bool CaptureWindow(HWND window, Picture& picture) {
  PaintFully(window);
  RECT frame;
  if (!GetWindowRect(window, &frame)) return false;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  WindowDc source(window);
  MemoryDc memory(source.dc);
  if (source.dc == nullptr || memory.dc == nullptr || width <= 0 || height <= 0) return false;
  Bitmap bitmap{CreateCompatibleBitmap(source.dc, width, height)};
  if (bitmap.handle == nullptr) return false;
  HGDIOBJ previous = SelectObject(memory.dc, bitmap.handle);
  bool copied = BitBlt(memory.dc, 0, 0, width, height, source.dc, 0, 0, SRCCOPY) != FALSE;
  SelectObject(memory.dc, previous);
  return copied && ReadPixels(memory.dc, bitmap.handle, width, height, picture);
}

}  // namespace tessora::test
