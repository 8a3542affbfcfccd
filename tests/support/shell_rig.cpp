#include "tests/support/shell_rig.h"

#include "app/program_devices.h"

namespace tessora::test {

ShellRig::ShellRig()
    : devices(std::make_unique<StackDeviceAccess>(settings, os, std::make_unique<CountingSimStack>(os))),
      shell(std::make_unique<ShellContext>(settings, devices->Engine(), ui, os, store)),
      stack(static_cast<CountingSimStack&>(devices->Stack())),
      context(devices->Engine()),
      library(*context.driverDevices),
      hid(*context.hid) {
  devices->AttachShell(*shell);
  library.SetLockTimeout(kTestLockTimeoutMs);
}

ShellRig::ShellRig(Interface interfaceKind, sim::BoardConfig config, std::size_t eepromSize) : ShellRig() {
  Use(interfaceKind);
  AddBoard(config, eepromSize);
}

void ShellRig::Use(Interface interfaceKind) { SelectInterface(settings, interfaceKind); }

ShellRig::~ShellRig() = default;

sim::SimBoard& ShellRig::AddBoard(sim::BoardConfig config, std::size_t eepromSize) {
  return PlugInBoard(stack, boards, serials, config, eepromSize);
}

std::size_t ShellRig::AddHidDevice(std::uint16_t vendorId, std::uint16_t productId, std::u16string product) {
  return PlugInHidDevice(stack, vendorId, productId, std::move(product));
}

std::size_t ShellRig::AddKeyboard() { return PlugInKeyboard(stack); }

}  // namespace tessora::test
