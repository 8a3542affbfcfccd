#include "devlib/qorv_device.h"

#include <vector>

#include "devlib/qorv_device_library.h"

namespace tessora {

QorvDevice::QorvDevice(QorvDeviceLibrary& library, std::uint32_t handle, bool winUsb, std::string devicePath)
    : library_(library), handle_(handle), winUsb_(winUsb), devicePath_(std::move(devicePath)) {}

void QorvDevice::FetchInstanceId(OsHandle set, const DevInfoData& element) {
  DeviceStack& stack = library_.Stack();
  std::uint32_t size = 0;
  stack.SetupDiGetDeviceInstanceIdA(set, element, nullptr, 0, &size);
  // 0: the call told nothing; 1: room for the terminator alone. Either way there is no ID.
  if (size <= 1) return;
  std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
  if (!stack.SetupDiGetDeviceInstanceIdA(set, element, buffer.data(), size, nullptr)) return;
  instanceId_.emplace(buffer.data());
}

// The record was made without an instance ID: find the device again through its path.
void QorvDevice::FetchInstanceIdByPath() {
  DeviceStack& stack = library_.Stack();
  DeviceInfoSet set(stack, stack.SetupDiCreateDeviceInfoList());
  if (!set.Valid()) return;
  DeviceInterfaceData data{};
  if (!stack.SetupDiOpenDeviceInterfaceA(set.Get(), devicePath_.c_str(), 0, &data)) return;
  DevInfoData element{};
  // Asked without a path buffer the call fails for want of room, yet delivers the element.
  if (!stack.SetupDiGetDeviceInterfaceDetailA(set.Get(), data, nullptr, 0, nullptr, &element) &&
      stack.GetLastError() != kErrorInsufficientBuffer)
    return;
  FetchInstanceId(set.Get(), element);
}

const char* QorvDevice::GetInstanceId() {
  std::lock_guard lock(library_.ListLock());
  if (!instanceId_ && !devicePath_.empty()) FetchInstanceIdByPath();
  return instanceId_ ? instanceId_->c_str() : nullptr;
}

std::string QorvDevice::MutexName(const char* instanceId, bool terminalServices) {
  std::string name = terminalServices ? "Global\\qorv2_" : "qorv2_";
  for (const char* c = instanceId; *c != '\0'; ++c) name += *c == '\\' ? '#' : *c;
  return name;
}

bool QorvDevice::CreateMutexIfNeeded() {
  std::lock_guard lock(library_.ListLock());
  if (mutex_) return true;
  const char* instanceId = GetInstanceId();
  if (instanceId == nullptr || *instanceId == '\0') return false;
  mutexName_ = MutexName(instanceId, library_.TerminalServices());
  std::uint32_t lastError = 0;
  mutex_ = library_.Os().CreateMutexA(mutexName_.c_str(), lastError);
  library_.Trace("Lock: CreateMutex(%s) = %08x, Error = %d\n", mutexName_.c_str(), TraceId(mutex_.get()),
                 static_cast<int>(lastError));
  if (!mutex_) library_.NoteLockFailure(mutexName_);
  return mutex_ != nullptr;
}

bool QorvDevice::Lock(std::uint32_t timeoutMilliseconds) {
  if (!CreateMutexIfNeeded()) return false;
  // The wait happens outside the list lock: another process may hold the device for
  // seconds, and the list must stay usable meanwhile.
  std::uint32_t result = mutex_->Wait(timeoutMilliseconds);
  if (result == kWaitObject0 || result == kWaitAbandoned) return true;
  library_.NoteLockFailure(mutexName_);
  return false;
}

void QorvDevice::Unlock() {
  if (mutex_) mutex_->Release();
}

void QorvDevice::KeepLock() {
  if (CreateMutexIfNeeded()) mutex_->Keep();
}

void QorvDevice::EndKeepLock() {
  if (mutex_) mutex_->EndKeep();
}

DeviceHandle QorvDevice::OpenDevice() {
  DeviceStack& stack = library_.Stack();
  return DeviceHandle(stack, stack.CreateFileA(devicePath_.c_str(), kGenericRead | kGenericWrite,
                                               kFileShareRead | kFileShareWrite, kOpenExisting,
                                               kFileAttributeNormal | kFileFlagOverlapped));
}

}  // namespace tessora
