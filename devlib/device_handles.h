#pragma once
// Owners for the handles an operation of the device library holds, so that every path
// out of an operation gives them back in the reverse order of taking them.
#include <cstdint>

#include "platform/device_stack.h"

namespace tessora {

class QorvDevice;

// A device opened by path for one operation; closed when it goes out of scope.
class DeviceHandle {
 public:
  DeviceHandle(DeviceStack& stack, OsHandle handle) : stack_(&stack), handle_(handle) {}
  DeviceHandle(DeviceHandle&& other) noexcept : stack_(other.stack_), handle_(other.handle_) {
    other.handle_ = kInvalidHandle;
  }
  DeviceHandle& operator=(DeviceHandle&&) = delete;
  DeviceHandle(const DeviceHandle&) = delete;
  ~DeviceHandle() {
    if (IsUsable(handle_)) stack_->CloseHandle(handle_);
  }

  bool IsOpen() const { return IsUsable(handle_); }
  OsHandle Get() const { return handle_; }

 private:
  DeviceStack* stack_;
  OsHandle handle_;
};

// A device-information set, destroyed when it goes out of scope.
class DeviceInfoSet {
 public:
  DeviceInfoSet(DeviceStack& stack, OsHandle set) : stack_(stack), set_(set) {}
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
  ~DeviceInfoSet() {
    if (IsUsable(set_)) stack_.SetupDiDestroyDeviceInfoList(set_);
  }

  bool IsValid() const { return IsUsable(set_); }
  OsHandle Get() const { return set_; }

 private:
  DeviceStack& stack_;
  OsHandle set_;
};

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
