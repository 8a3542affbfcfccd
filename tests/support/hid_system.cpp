#include "tests/support/hid_system.h"

#include <cstdio>

#include "platform/native_os_services.h"

namespace tessora::testing {

HidSystem::HidSystem()
    : native(CreateNativeOsServices()), clock(*native), stack(clock), context(stack, clock, messages) {}

std::size_t HidSystem::AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::u16string product) {
  char path[96];
  std::snprintf(path, sizeof path, "\\\\?\\hid#vid_%04x&pid_%04x#%zu#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                vendorId, productId, stack.InterfaceCount());
  sim::SimInterface device;
  device.kind = sim::InterfaceKind::Hid;
  device.interfaceClass = sim::kHidInterfaceGuid;
  device.path = path;
  device.instanceId = path;
  device.attributes = HidAttributes{vendorId, productId, 0x0100};
  device.product = std::move(product);
  device.serialNumber = u"0001";
  device.caps.inputReportByteLength = 8;
  return stack.AddInterface(std::move(device));
}

std::size_t HidSystem::AddKeyboard() {
  std::size_t index = AddDevice(0x046D, 0xC31C, u"USB Keyboard");
  Interface(index).refusesReadWrite = true;
  Interface(index).caps.outputReportByteLength = 2;
  return index;
}

std::size_t HidSystem::AddController(sim::SimBoard& board, const std::string& serial) {
  sim::BoardIdentity identity;
  identity.serial = serial;
  std::size_t index = stack.InterfaceCount();
  stack.AttachBoard(board, identity);  // the HID face comes first
  return index;
}

std::unique_ptr<sim::SimBoard> MakeBoard(sim::BoardConfig config) {
  return std::make_unique<sim::SimBoard>(config, std::vector<std::uint8_t>(16384, 0xFF));
}

}  // namespace tessora::testing
