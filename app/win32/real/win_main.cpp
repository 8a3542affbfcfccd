// tessora.exe: the product, on the real Windows device stack.
#include <windows.h>

#include "app/program_devices.h"
#include "app/win32/win32_program.h"
#include "platform/win32/win32_device_stack.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int showCommand) {
  return tessora::RunTessora(instance, commandLine, showCommand,
                             [](tessora::Settings& settings, tessora::OsServices& os, std::string& /*error*/) {
                               return std::unique_ptr<tessora::DeviceAccess>(new tessora::StackDeviceAccess(
                                   settings, os, std::make_unique<tessora::Win32DeviceStack>()));
                             });
}
