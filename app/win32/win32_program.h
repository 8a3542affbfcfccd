#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/device_access.h"
#include "app/shell_context.h"
#include "app/win32/win32_ui.h"
#include "platform/os_services.h"
#include "platform/settings_store.h"

namespace tessora {

// Window message that runs an update from the command line inside the sending call.
constexpr UINT kMsgUpdateFromFile = WM_USER + 2003;

// Builds the device side of the program once its settings exist.
using DeviceAccessFactory = std::function<std::unique_ptr<DeviceAccess>(Settings&, OsServices&, std::string& error)>;

// Everything one run of the Windows program owns; the window procedure reaches it
// through the window.
struct Win32Program {
  HINSTANCE instance = nullptr;
  std::unique_ptr<OsServices> os;
  std::unique_ptr<SettingsStore> store;
  Settings settings;
  std::unique_ptr<DeviceAccess> devices;
  Win32Ui ui;
  std::unique_ptr<ShellContext> shell;
};

constexpr int kMainWindowWidth = 280;
constexpr int kMainWindowHeight = 100;
// The screen resolution the window's size is given for; larger ones scale it.
constexpr int kDefaultDpi = 96;

// Builds the program's services, devices and shell; false (reported on the debug output)
// when the device side cannot be set up.
bool BuildProgram(Win32Program& program, HINSTANCE instance, const DeviceAccessFactory& factory);

// The main window's title and class name, loaded from the string table.
struct MainWindowClass {
  char title[256];
  char className[256];
};

// Loads the names and registers the main window class; a failed registration shows
// only as a failed window creation.
MainWindowClass RegisterMainWindowClass(HINSTANCE instance);

// The main window, shown (hidden in silent mode) and painted; null when creation fails.
HWND CreateMainWindow(Win32Program& program, const MainWindowClass& names, int showCommand);

// Runs until the quit message, with the accelerators of the main window's menu.
void RunMessageLoop(HACCEL accelerators);

// The program's entry: start-up, the main window and, without a file on the command
// line, the message loop. Returns the process exit status.
int RunTessora(HINSTANCE instance, const char* commandLine, int showCommand, const DeviceAccessFactory& factory);

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Steps one character in the active ANSI code page.
const char* NextAnsiChar(const char* text);

}  // namespace tessora
