#include "tests/win32/window_finder.h"

#include <atomic>
#include <thread>

namespace tessora::test {

namespace {

constexpr DWORD kPollMs = 20;

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  do {
    for (HWND window = FindWindowExA(nullptr, nullptr, className, caption); window != nullptr;
         window = FindWindowExA(nullptr, window, className, caption)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == processId && IsWindowVisible(window)) return window;
    }
    Sleep(kPollMs);
  } while (GetTickCount64() < deadline);
  return nullptr;
}

bool WaitUntilGone(HWND window) {
  const ULONGLONG deadline = GetTickCount64() + 20000;
  while (IsWindow(window)) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
  return true;
}

void PressButton(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string AnswerMessageBox(DWORD processId, const char* caption) {
  HWND box = WaitForWindow(processId, "#32770", caption);
  if (box == nullptr) return "";
  // The message is the box's one static control with text; the icon's has none.
  std::string text;
  for (HWND label = FindWindowExA(box, nullptr, "Static", nullptr); label != nullptr && text.empty();
       label = FindWindowExA(box, label, "Static", nullptr))
    text = WindowText(label);
  PressButton(box, IDOK);
  WaitUntilGone(box);
  return text;
}

void AnswerFileDialog(HWND dialog, const std::string& path) {
  // The name field: a combo box in the Explorer-style dialog, an edit box in the older one.
  HWND field = GetDlgItem(dialog, 1148);
  if (field == nullptr) field = GetDlgItem(dialog, 1152);
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PressButton(dialog, IDOK);
}

void WhileAnswering(const std::function<void()>& script, const std::function<void()>& action) {
  std::atomic<bool> done{false};
  std::thread answerer([&] {
    script();
    while (!done) {
      if (HWND left = WaitForWindow(GetCurrentProcessId(), "#32770", nullptr, 0)) PressButton(left, IDCANCEL);
      Sleep(kPollMs);
    }
  });
  action();
  done = true;
  answerer.join();
}

}  // namespace tessora::test
