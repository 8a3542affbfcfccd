#include "tests/win32/window_finder.h"

#include <vector>

namespace tessora::testing {

namespace {

constexpr DWORD kPollMs = 20;

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopWindowsOf(DWORD processId) {
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> found;
  for (HWND window : all) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) found.push_back(window);
  }
  return found;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
  return children;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  do {
    for (HWND window : TopWindowsOf(processId)) {
      if (IsWindowVisible(window) && ClassOf(window) == className &&
          (caption == nullptr || WindowText(window) == caption))
        return window;
    }
    Sleep(kPollMs);
  } while (GetTickCount64() < deadline);
  return nullptr;
}

HWND WaitForDialog(const char* caption) { return WaitForWindow(GetCurrentProcessId(), "#32770", caption); }

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (IsWindow(window)) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
  return true;
}

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string MessageBoxText(HWND box) {
  for (HWND child : ChildrenOf(box)) {
    if (ClassOf(child) != "Static") continue;
    std::string text = WindowText(child);
    if (!text.empty()) return text;
  }
  return "";
}

BoxIcon MessageBoxIcon(HWND box) {
  HICON error = LoadIconA(nullptr, MAKEINTRESOURCEA(32513));        // IDI_ERROR
  HICON information = LoadIconA(nullptr, MAKEINTRESOURCEA(32516));  // IDI_INFORMATION
  for (HWND child : ChildrenOf(box)) {
    if (ClassOf(child) != "Static") continue;
    auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    if (icon != nullptr && icon == error) return BoxIcon::Error;
    if (icon != nullptr && icon == information) return BoxIcon::Information;
  }
  return BoxIcon::Other;
}

void PressButton(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void AnswerFileDialog(HWND dialog, const std::string& path) {
  // The name field: a combo box in the Explorer-style dialog, an edit box in the older one.
  HWND field = GetDlgItem(dialog, 1148);
  if (field == nullptr) field = GetDlgItem(dialog, 1152);
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PressButton(dialog, IDOK);
}

void CancelDialogs(DWORD processId) {
  for (HWND window : TopWindowsOf(processId))
    if (ClassOf(window) == "#32770") PressButton(window, IDCANCEL);
}

DialogScript::DialogScript(std::function<void()> script)
    : thread_([this, script = std::move(script)] {
        script();
        while (!done_) {
          CancelDialogs(GetCurrentProcessId());
          Sleep(kPollMs);
        }
      }) {}

void DialogScript::Finish() {
  done_ = true;
  if (thread_.joinable()) thread_.join();
}

}  // namespace tessora::testing
