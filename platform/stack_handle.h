#pragma once
#include <utility>

#include "platform/device_stack.h"

namespace tessora {

// An owned handle of the device stack, given back with the call that releases its kind.
template <bool (DeviceStack::*Release)(OsHandle)>
class StackHandle {
 public:
  StackHandle() = default;
  StackHandle(DeviceStack& stack, OsHandle handle) : stack_(&stack), handle_(handle) {}
  StackHandle(StackHandle&& other) noexcept
      : stack_(std::exchange(other.stack_, nullptr)), handle_(std::exchange(other.handle_, kNullHandle)) {}
  StackHandle& operator=(StackHandle&& other) noexcept {
    if (this != &other) {
      Close();
      stack_ = std::exchange(other.stack_, nullptr);
      handle_ = std::exchange(other.handle_, kNullHandle);
    }
    return *this;
  }
  StackHandle(const StackHandle&) = delete;
  StackHandle& operator=(const StackHandle&) = delete;
  ~StackHandle() { Close(); }

  bool Valid() const { return IsUsable(handle_); }
  OsHandle Get() const { return handle_; }

  void Close() {
    if (Valid()) (stack_->*Release)(handle_);
    handle_ = kNullHandle;
  }

 private:
  DeviceStack* stack_ = nullptr;
  OsHandle handle_ = kNullHandle;
};

using FileHandle = StackHandle<&DeviceStack::CloseHandle>;
using DeviceInfoSet = StackHandle<&DeviceStack::SetupDiDestroyDeviceInfoList>;
using PreparsedData = StackHandle<&DeviceStack::HidD_FreePreparsedData>;

}  // namespace tessora
