#include <cstdio>

#include "app/start_up.h"
#include "app/strings.h"
#include "app/win32/win32_program.h"
#include "platform/native_os_services.h"
#include "resources/resource.h"

namespace tessora {

void RunMessageLoop(HACCEL accelerators) {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(message.hwnd, accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

const char* NextAnsiChar(const char* text) { return CharNextA(text); }

bool BuildProgram(Win32Program& program, HINSTANCE instance, const DeviceAccessFactory& factory) {
  program.instance = instance;
  program.os = CreateNativeOsServices();
  program.store = CreateNativeSettingsStore();
  std::string error;
  program.devices = factory(program.settings, *program.os, error);
  if (!program.devices) {
    std::string text = "Tessora cannot start: " + error;
    program.os->OutputDebugStringA(text.c_str());
    std::fprintf(stderr, "%s\n", text.c_str());
    return false;
  }
  program.shell = std::make_unique<ShellContext>(program.settings, program.devices->Engine(), program.ui,
                                                 *program.os, *program.store, NextAnsiChar);
  program.devices->AttachShell(*program.shell);
  return true;
}

MainWindowClass RegisterMainWindowClass(HINSTANCE instance) {
  MainWindowClass names{};
  LoadStringA(instance, kStrTitle, names.title, sizeof names.title);
  LoadStringA(instance, kStrClassName, names.className, sizeof names.className);

  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TESSORA));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_TESSORA);
  windowClass.lpszClassName = names.className;
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
  RegisterClassExA(&windowClass);
  return names;
}

// The program declares itself DPI-aware, so Windows no longer scales its window: at 150% or
// 200% the caption and menu, drawn larger, would leave no room for the status text and the
// progress bar in a window of the size laid out for 96 DPI.
int ScaledToScreen(int pixels) {
  HDC screen = GetDC(nullptr);
  int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return MulDiv(pixels, dpi > 0 ? dpi : kDefaultDpi, kDefaultDpi);
}

HWND CreateMainWindow(Win32Program& program, const MainWindowClass& names, int showCommand) {
  HWND window = CreateWindowExA(0, names.className, names.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                ScaledToScreen(kMainWindowWidth), ScaledToScreen(kMainWindowHeight), nullptr,
                                nullptr, program.instance, &program);
  if (window == nullptr) return nullptr;
  ShowWindow(window, program.shell->silentMode ? SW_HIDE : showCommand);
  UpdateWindow(window);
  return window;
}

int RunTessora(HINSTANCE instance, const char* commandLine, int showCommand, const DeviceAccessFactory& factory) {
  Win32Program program;
  if (!BuildProgram(program, instance, factory)) return 1;
  MainWindowClass names = RegisterMainWindowClass(instance);
  StartCommand command = BeginRun(*program.shell, commandLine != nullptr ? commandLine : "");
  HWND window = CreateMainWindow(program, names, showCommand);
  if (window == nullptr) return 0;
  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_TESSORA));

  if (command.fileName[0] != '\0') {
    SendMessageA(window, kMsgUpdateFromFile, 0, reinterpret_cast<LPARAM>(command.fileName));
    WriteExitCodeLine(*program.shell);
  } else if (!program.shell->silentMode) {
    RunMessageLoop(accelerators);
  }
  std::string error;
  if (!program.devices->Finish(error)) program.os->OutputDebugStringA(error.c_str());
  return RunExitStatus(*program.shell);
}

}  // namespace tessora
