#include "devlib/device_handles.h"

#include "devlib/qorv_device.h"

namespace tessora {

DeviceLock::DeviceLock(QorvDevice& device, std::uint32_t timeoutMilliseconds)
    : device_(device), held_(device.Lock(timeoutMilliseconds)) {}

DeviceLock::~DeviceLock() {
  if (held_) device_.Unlock();
}

DeviceLockKeep::DeviceLockKeep(QorvDevice& device) : device_(device) { device_.KeepLock(); }

DeviceLockKeep::~DeviceLockKeep() { device_.EndKeepLock(); }

WinUsbInterface::WinUsbInterface(DeviceStack& stack, const DeviceHandle& device) : stack_(stack) {
  if (device.Valid()) initialised_ = stack_.WinUsb_Initialize(device.Get(), &handle_);
}

bool WinUsbInterface::Transfer(const UsbSetupPacket& setup, std::uint8_t* buffer, std::uint32_t& transferred) {
  transferred = 0;
  return stack_.WinUsb_ControlTransfer(handle_, setup, buffer, setup.length, &transferred);
}

}  // namespace tessora
