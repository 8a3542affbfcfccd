#include "tests/support/shell_rig.h"

#include <cstdio>

#include "app/program_devices.h"
#include "engine/connection.h"

namespace tessora::testing {

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

void ShellRig::Use(Interface interfaceKind) {
  settings.useHid = interfaceKind == Interface::Hid ? 1 : 0;
  settings.useWinUsb = interfaceKind == Interface::WinUsb ? 1 : 0;
}

ShellRig::~ShellRig() = default;

sim::SimBoard& ShellRig::AddBoard(sim::BoardConfig config, std::size_t eepromSize) {
  sim::SimBoard& board = boards.emplace_back(config, std::vector<std::uint8_t>(eepromSize, 0xFF));
  sim::BoardIdentity identity;
  identity.serial = serials.emplace_back(UniqueSerial());
  identity.port = UniquePort();
  stack.AttachBoard(board, identity);
  return board;
}

std::size_t ShellRig::AddHidDevice(std::uint16_t vendorId, std::uint16_t productId, std::u16string product) {
  char path[96];
  std::snprintf(path, sizeof path, "\\\\?\\hid#vid_%04x&pid_%04x#%zu#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                vendorId, productId, stack.InterfaceCount());
  sim::SimInterface device;
  device.kind = sim::InterfaceKind::Hid;
  device.interfaceClass = sim::kHidInterfaceGuid;
  device.path = device.instanceId = path;
  device.attributes = HidAttributes{vendorId, productId, 0x0100};
  device.product = std::move(product);
  device.serialNumber = u"0001";
  device.caps.inputReportByteLength = 8;
  return stack.AddInterface(std::move(device));
}

std::size_t ShellRig::AddKeyboard() {
  std::size_t index = AddHidDevice(0x046D, 0xC31C, u"USB Keyboard");
  stack.Interface(index).refusesReadWrite = true;
  stack.Interface(index).caps.outputReportByteLength = 2;
  return index;
}

std::string ShellRig::WriteImage(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  return WriteFile(dir.File(name), ImageText(bytes));
}

EngineRig::EngineRig(Route route, sim::BoardConfig config, std::size_t eepromSize)
    : ShellRig(route == Route::Driver ? Interface::FilterDriver : Interface::Hid, config, eepromSize) {
  settings.hidUseFeature = route == Route::Feature ? 1 : 0;
  Board().MutableConfig().failAfter.reset();
  ConnectDevice(context);
  probes = Board().TraceLines().size();
  if (config.failAfter) Board().MutableConfig().failAfter = *config.failAfter + probes;
}

}  // namespace tessora::testing
