// tessora-sim.exe: the same program on the simulated board named by TESSORA_SIM; without
// it the program finds no device.
#include <windows.h>

#include "app/program_devices.h"
#include "app/win32/win32_program.h"
#include "sim/stack/sim_device_stack.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int showCommand) {
  return tessora::RunTessora(instance, commandLine, showCommand,
                             [](tessora::Settings& settings, tessora::OsServices& os, std::string& error) {
                               return tessora::OpenProgramDevices(
                                   settings, os, [&os] { return std::make_unique<tessora::sim::SimDeviceStack>(os); },
                                   error);
                             });
}
