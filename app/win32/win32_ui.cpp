#include "app/win32/win32_ui.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>

namespace tessora {

namespace {

// Filter pairs; the second ("*.hex") is selected at start.
constexpr char kFilter[] = "All (*.*)\0*.*\0Firmware Image (*.hex)\0*.hex\0";
constexpr DWORD kFileFlags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN;

}  // namespace

void Win32Ui::RepaintNow(const char* /*statusText*/) {
  if (mainWindow_ == nullptr) return;
  InvalidateRect(mainWindow_, nullptr, TRUE);
  UpdateWindow(mainWindow_);
}

void Win32Ui::ShowMessageBox(bool ownedByMainWindow, const char* text, const char* caption, std::uint32_t style) {
  MessageBoxA(ownedByMainWindow ? mainWindow_ : nullptr, text, caption, style);
}

bool Win32Ui::AskFileName(FileQuestion question, char* path, std::size_t capacity) {
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = mainWindow_;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 2;
  dialog.lpstrFile = path;
  dialog.nMaxFile = static_cast<DWORD>(capacity);
  dialog.Flags = kFileFlags;
  if (question == FileQuestion::Save) {
    dialog.lpstrDefExt = "hex";
    return GetSaveFileNameA(&dialog) != FALSE;
  }
  return GetOpenFileNameA(&dialog) != FALSE;
}

void Win32Ui::StandardOutput(const char* line) {
  std::printf("%s%s", line, "\n");
  std::fflush(stdout);
}

// A later procedure's bar is created over an earlier one that was left standing.
void Win32Ui::Create() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  RECT client{};
  GetClientRect(mainWindow_, &client);
  int height = GetSystemMetrics(SM_CYVSCROLL);
  progress_ = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, client.left, client.bottom - height,
                              client.right, height, mainWindow_, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (progress_ != nullptr) SendMessageA(progress_, PBM_SETSTEP, 1, 0);
}

void Win32Ui::SetRange(std::uint16_t maximum) {
  if (progress_ != nullptr) SendMessageA(progress_, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

void Win32Ui::SetPosition(int position) {
  if (progress_ != nullptr) SendMessageA(progress_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32Ui::ProgressStep() {
  if (progress_ != nullptr) SendMessageA(progress_, PBM_STEPIT, 0, 0);
}

void Win32Ui::Destroy() {
  if (progress_ != nullptr) DestroyWindow(progress_);
  progress_ = nullptr;
}

}  // namespace tessora
