#include <windows.h>

#include <shellapi.h>

#include "app/procedures.h"
#include "app/start_up.h"
#include "app/win32/win32_program.h"
#include "engine/eeprom_transfer.h"
#include "resources/resource.h"

namespace tessora {

namespace {

Win32Program* ProgramOf(HWND window) {
  return reinterpret_cast<Win32Program*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void OnCreate(HWND window, Win32Program& program) {
  program.ui.SetMainWindow(window);
  PrepareMainWindowText(*program.shell);
  DragAcceptFiles(window, TRUE);
}

void OnDestroy(Win32Program& program) {
  std::unique_ptr<HidReportPort>& hid = program.devices->Engine().hidDevice;
  if (hid && hid->IsOpen()) hid->Close();
  hid.reset();
  PostQuitMessage(0);
}

void OnPaint(HWND window, const ShellContext& shell) {
  PAINTSTRUCT paint;
  HDC context = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  DrawTextA(context, shell.statusText.data(), -1, &client, DT_CENTER);
  EndPaint(window, &paint);
}

void Repaint(HWND window) { InvalidateRect(window, nullptr, TRUE); }

// False for a command this window does not handle.
bool OnCommand(HWND window, Win32Program& program, int command) {
  ShellContext& shell = *program.shell;
  switch (command) {
    case IDM_ABOUT:
      DialogBoxParamA(program.instance, MAKEINTRESOURCEA(IDD_ABOUTBOX), window, AboutDialogProcedure, 0);
      break;
    case IDM_EXIT:
      DestroyWindow(window);
      break;
    case IDM_UPDATE_FIRMWARE:
      UpdateFirmware(shell, nullptr);
      Repaint(window);
      break;
    case IDM_FORCE_ROM_BOOT:
      RebootCommand(shell, 2);
      break;
    case IDM_BOOT_FROM_EEPROM:
      RebootCommand(shell, 1);
      break;
    case IDM_READ_OUT_FIRMWARE:
      ReadOutFirmware(shell, nullptr);
      Repaint(window);
      break;
    case IDM_OPTIONS:
      DialogBoxParamA(program.instance, MAKEINTRESOURCEA(IDD_OPTIONS), window, OptionsDialogProcedure,
                      reinterpret_cast<LPARAM>(&program));
      Repaint(window);
      break;
    case IDM_CLEAR_EEPROM:
      ClearEeprom(shell);
      Repaint(window);
      break;
    default:
      return false;
  }
  return true;
}

// Only the first dropped file is taken; its name may not be cut to fit.
void OnDropFiles(HWND window, Win32Program& program, HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  if (count >= 1) {
    SetActiveWindow(window);
    UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    std::string name(length, '\0');
    DragQueryFileA(drop, 0, name.data(), length + 1);
    UpdateFirmware(*program.shell, name.c_str());
  }
  DragFinish(drop);
}

}  // namespace

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  Win32Program* program = ProgramOf(window);
  if (program == nullptr) return DefWindowProcA(window, message, wParam, lParam);

  switch (message) {
    case WM_CREATE:
      OnCreate(window, *program);
      return 0;
    case WM_DESTROY:
      OnDestroy(*program);
      return 0;
    case WM_PAINT:
      OnPaint(window, *program->shell);
      return 0;
    case WM_COMMAND:
      if (!OnCommand(window, *program, LOWORD(wParam))) break;
      return 0;
    case WM_DROPFILES:
      OnDropFiles(window, *program, reinterpret_cast<HDROP>(wParam));
      return 0;
    case kMsgUpdateFromFile:
      program->shell->updateResult = UpdateFirmware(*program->shell, reinterpret_cast<const char*>(lParam));
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace tessora
