#include <cstdio>

#include "app/start_up.h"
#include "app/win32/win32_program.h"
#include "platform/native_os_services.h"
#include "resources/resource.h"

namespace tessora {

namespace {

constexpr int kTextSize = 256;

void RegisterMainWindowClass(HINSTANCE instance, const char* className) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TESSORA));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_TESSORA);
  windowClass.lpszClassName = className;
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
  RegisterClassExA(&windowClass);
}

void RunMessageLoop(HACCEL accelerators) {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(message.hwnd, accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

const char* NextAnsiChar(const char* text) { return CharNextA(text); }

int RunTessora(HINSTANCE instance, const char* commandLine, int showCommand, const DeviceAccessFactory& factory) {
  Win32Program program;
  program.instance = instance;
  program.os = CreateNativeOsServices();
  program.store = CreateNativeSettingsStore();
  std::string error;
  program.devices = factory(program.settings, *program.os, error);
  if (!program.devices) {
    std::string text = "Tessora cannot start: " + error;
    program.os->OutputDebugStringA(text.c_str());
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1;
  }
  program.shell = std::make_unique<ShellContext>(program.settings, program.devices->Engine(), program.ui,
                                                 *program.os, *program.store, NextAnsiChar);
  program.devices->AttachShell(*program.shell);

  char title[kTextSize];
  char className[kTextSize];
  LoadStringA(instance, IDS_APP_TITLE, title, kTextSize);
  LoadStringA(instance, IDC_TESSORA, className, kTextSize);
  RegisterMainWindowClass(instance, className);

  StartCommand command = BeginRun(*program.shell, commandLine != nullptr ? commandLine : "");
  HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 280, 100,
                                nullptr, nullptr, instance, &program);
  if (window == nullptr) return 0;
  ShowWindow(window, program.shell->silentMode ? SW_HIDE : showCommand);
  UpdateWindow(window);
  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_TESSORA));

  if (command.fileName[0] != '\0') {
    SendMessageA(window, kMsgUpdateFromFile, 0, reinterpret_cast<LPARAM>(command.fileName));
    WriteExitCodeLine(*program.shell);
  } else if (!program.shell->silentMode) {
    RunMessageLoop(accelerators);
  }
  if (!program.devices->Finish(error)) program.os->OutputDebugStringA(error.c_str());
  return RunExitStatus(*program.shell);
}

}  // namespace tessora
