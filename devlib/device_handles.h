#pragma once
// Owners for the handles an operation of the device library holds, so that every path
// out of an operation gives them back in the reverse order of taking them.
#include <cstdint>

#include "platform/device_stack.h"
#include "platform/stack_handle.h"

namespace tessora {

class QorvDevice;

// A device opened by path for one operation (device-information sets are DeviceInfoSet).
using DeviceHandle = FileHandle;

// The record's inter-process lock, taken on construction and released once on
// destruction when it was obtained.
class DeviceLock {
 public:
  DeviceLock(QorvDevice& device, std::uint32_t timeoutMilliseconds);
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;
  ~DeviceLock();

  bool Held() const { return held_; }

 private:
  QorvDevice& device_;
  bool held_;
};

// The record's inter-process lock kept between the requests of a run of them
// (QorvDevice::KeepLock) until destruction.
class DeviceLockKeep {
 public:
  explicit DeviceLockKeep(QorvDevice& device);
  DeviceLockKeep(const DeviceLockKeep&) = delete;
  DeviceLockKeep& operator=(const DeviceLockKeep&) = delete;
  ~DeviceLockKeep();

 private:
  QorvDevice& device_;
};

// A WinUSB interface initialised on an open device; freed when it goes out of scope.
class WinUsbInterface {
 public:
  WinUsbInterface(DeviceStack& stack, const DeviceHandle& device);
  WinUsbInterface(const WinUsbInterface&) = delete;
  WinUsbInterface& operator=(const WinUsbInterface&) = delete;
  ~WinUsbInterface() {
    if (initialised_) stack_.WinUsb_Free(handle_);
  }

  bool IsInitialised() const { return initialised_; }
  // One control transfer; the transferred length starts at 0 for every transfer.
  bool Transfer(const UsbSetupPacket& setup, std::uint8_t* buffer, std::uint32_t& transferred);

 private:
  DeviceStack& stack_;
  OsHandle handle_ = kNullHandle;
  bool initialised_ = false;
};

}  // namespace tessora
