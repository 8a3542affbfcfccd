#include "app/device_key.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "devlib/qorv_device_library.h"
#include "hid/hid_device.h"
#include "hid/hid_text.h"

namespace tessora {

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The serial and the place come from the device stack on every interface, never from
// what one interface alone reports: Windows may name a device by its place although its
// HID interface still reports a serial number.
BoardNames StackBoardNames(DeviceStack& stack, const char* devicePath) {
  return {stack.UsbSerialNumber(devicePath), stack.UsbPortPath(devicePath)};
}

const hidDeviceClass* OpenHidDevice(const EngineContext& engine) {
  const auto* device = dynamic_cast<const hidDeviceClass*>(engine.hidDevice.get());
  return device != nullptr && device->IsOpen() && engine.hid != nullptr ? device : nullptr;
}

// On Windows a controller's HID collection sits below its USB device. Where the stack
// finds none above it (Wine puts its HID devices below a bus driver of its own) it tells
// neither name, and the serial number the interface reports keeps two such boards apart,
// where they would otherwise share one name and one lock.
BoardNames HidBoardNames(const EngineContext& engine, const hidDeviceClass& device) {
  BoardNames names = StackBoardNames(engine.hid->stack, device.DevicePath());
  if (names.serial.empty() && names.port.empty() && std::strcmp(device.SerialText(), kUnknownText) != 0)
    names.serial = device.SerialText();
  return names;
}

// A driver interface tells its vendor and product ID only through the instance ID,
// USB\VID_xxxx&PID_xxxx\... (or ...&MI_nn\... for one function of a composite device).
std::string DriverDeviceKey(const EngineContext& engine) {
  if (engine.driverDevices == nullptr) return {};
  QorvDevice* record = engine.driverDevices->FindByHandle(engine.currentDevice);
  const char* instanceId = record != nullptr ? record->GetInstanceId() : nullptr;
  unsigned int vendorId = 0;
  unsigned int productId = 0;
  if (instanceId == nullptr ||
      std::sscanf(Upper(instanceId).c_str(), "USB\\VID_%4x&PID_%4x", &vendorId, &productId) != 2)
    return {};
  BoardNames names = StackBoardNames(engine.driverDevices->Stack(), record->DevicePath().c_str());
  return DeviceKey(static_cast<std::uint16_t>(vendorId), static_cast<std::uint16_t>(productId), names.serial,
                   names.port);
}

}  // namespace

std::string DeviceKey(std::uint16_t vendorId, std::uint16_t productId, const std::string& serial,
                      const std::string& port) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "VID_%04X&PID_%04X", vendorId, productId);
  std::string upperSerial = Upper(serial);
  if (!upperSerial.empty() && upperSerial != "UNKNOWN") return ids + ("#" + upperSerial);
  // Never an interface path: the HID and the WinUSB interface of one board have different
  // ones, and two programs would each take a lock of their own on the one board.
  if (!port.empty()) return ids + ("@" + port);
  // Nothing tells such boards apart: they share one lock, and a second program is refused
  // rather than write a board that another one may be writing.
  return ids;
}

BoardNames ConnectedBoardNames(const EngineContext& engine) {
  if (engine.settings.useHid != 0) {
    const hidDeviceClass* device = OpenHidDevice(engine);
    return device != nullptr ? HidBoardNames(engine, *device) : BoardNames{};
  }
  if (engine.driverDevices == nullptr) return {};
  QorvDevice* record = engine.driverDevices->FindByHandle(engine.currentDevice);
  return record != nullptr ? StackBoardNames(engine.driverDevices->Stack(), record->DevicePath().c_str())
                           : BoardNames{};
}

std::string ConnectedDeviceKey(const EngineContext& engine) {
  if (engine.settings.useHid == 0) return DriverDeviceKey(engine);
  const hidDeviceClass* device = OpenHidDevice(engine);
  if (device == nullptr) return {};
  BoardNames names = HidBoardNames(engine, *device);
  return DeviceKey(device->VendorId(), device->ProductId(), names.serial, names.port);
}

}  // namespace tessora
