#include "tests/support/device_rig.h"

#include <cstdio>

#include "engine/connection.h"

namespace tessora::test {

void SelectInterface(Settings& settings, Interface interfaceKind) {
  settings.useHid = interfaceKind == Interface::Hid ? 1 : 0;
  settings.useWinUsb = interfaceKind == Interface::WinUsb ? 1 : 0;
}

sim::SimBoard& PlugInBoard(CountingSimStack& stack, std::deque<sim::SimBoard>& boards,
                           std::vector<std::string>& serials, sim::BoardConfig config, std::size_t eepromSize) {
  sim::SimBoard& board = boards.emplace_back(config, std::vector<std::uint8_t>(eepromSize, 0xFF));
  sim::BoardIdentity identity;
  identity.serial = serials.emplace_back(UniqueSerial());
  identity.port = UniquePort();
  stack.AttachBoard(board, identity);
  return board;
}

std::size_t PlugInHidDevice(CountingSimStack& stack, std::uint16_t vendorId, std::uint16_t productId,
                            std::u16string product) {
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

std::size_t PlugInKeyboard(CountingSimStack& stack) {
  std::size_t index = PlugInHidDevice(stack, 0x046D, 0xC31C, u"USB Keyboard");
  stack.Interface(index).refusesReadWrite = true;
  stack.Interface(index).caps.outputReportByteLength = 2;
  return index;
}

DeviceRig::DeviceRig() {
  context.os = &os;
  context.driverDevices = &library;
  context.hid = &hid;
  library.SetLockTimeout(kTestLockTimeoutMs);
}

DeviceRig::DeviceRig(Interface interfaceKind, sim::BoardConfig config, std::size_t eepromSize) : DeviceRig() {
  Use(interfaceKind);
  AddBoard(config, eepromSize);
}

EngineRig::EngineRig(Route route, sim::BoardConfig config, std::size_t eepromSize)
    : DeviceRig(route == Route::Driver ? Interface::FilterDriver : Interface::Hid, config, eepromSize) {
  settings.hidUseFeature = route == Route::Feature ? 1 : 0;
  Board().MutableConfig().failAfter.reset();
  ConnectDevice(context);
  probes = Board().TraceLines().size();
  if (config.failAfter) Board().MutableConfig().failAfter = *config.failAfter + probes;
}

}  // namespace tessora::test
