#include "tests/support/shell_rig.h"

#include "engine/connection.h"
#include "platform/sim/sim_device_stack.h"
#include "tests/support/driver_rig.h"

namespace tessora::testing {

ShellRig::ShellRig(Interface interfaceKind, sim::BoardConfig config, std::size_t eepromSize)
    : board(config, std::vector<std::uint8_t>(eepromSize, 0xFF)) {
  settings.useHid = interfaceKind == Interface::Hid ? 1 : 0;
  settings.useWinUsb = interfaceKind == Interface::WinUsb ? 1 : 0;
  auto stack = std::make_unique<sim::SimDeviceStack>(os);
  sim::BoardIdentity identity;
  identity.serial = serial;
  stack->AttachBoard(board, identity);
  devices = std::make_unique<StackDeviceAccess>(settings, os, std::move(stack));
  shell = std::make_unique<ShellContext>(settings, devices->Engine(), ui, os, store);
  devices->AttachShell(*shell);
}

std::string ShellRig::WriteImage(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  std::string path = dir.File(name);
  WriteFile(path, ImageText(bytes));
  return path;
}

namespace {

sim::BoardConfig WithoutFailAfter(sim::BoardConfig config) {
  config.failAfter.reset();
  return config;
}

}  // namespace

EngineRig::EngineRig(Route route, sim::BoardConfig config, std::size_t eepromSize)
    : ShellRig(route == Route::Driver ? Interface::FilterDriver : Interface::Hid, WithoutFailAfter(config), eepromSize),
      context(devices->Engine()) {
  settings.hidUseFeature = route == Route::Feature ? 1 : 0;
  ConnectDevice(context);
  probes = board.TraceLines().size();
  if (config.failAfter) board.MutableConfig().failAfter = *config.failAfter + probes;
}

}  // namespace tessora::testing
