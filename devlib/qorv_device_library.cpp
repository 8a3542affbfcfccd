#include "devlib/qorv_device_library.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

#include "platform/device_path.h"

namespace tessora {

namespace {

constexpr std::size_t kTraceLineSize = 512;
constexpr std::uint32_t kNtPlatform = 2;

}  // namespace

std::uint32_t TraceId(const void* address) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address));
}

QorvDeviceLibrary::QorvDeviceLibrary(OsServices& os, DeviceStack& stack) : os_(os), stack_(stack) { ClassInit(); }

QorvDeviceLibrary::~QorvDeviceLibrary() { ClassDestroy(); }

void QorvDeviceLibrary::ClassInit() {
  OsVersion version = os_.GetVersionExA();
  // NT 5 and later keep named objects per logon session unless they are global.
  terminalServices_ = version.major >= 5 && version.platformId == kNtPlatform;
  Trace("QorvDevice::ClassInit   Windows Version = %d.%d,  Platform = %x, Terminal Services = %d\n",
        static_cast<int>(version.major), static_cast<int>(version.minor), version.platformId,
        terminalServices_ ? 1 : 0);
}

void QorvDeviceLibrary::ClassDestroy() {
  {
    std::lock_guard lock(listLock_);
    deviceList_.clear();
  }
  Trace("QorvDevice::ClassDestroy\n");
}

void QorvDeviceLibrary::SetInterfaceGuid(const Guid& guid) {
  std::lock_guard lock(listLock_);
  interfaceGuid_ = guid;
}

Guid QorvDeviceLibrary::InterfaceGuid() {
  std::lock_guard lock(listLock_);
  return interfaceGuid_;
}

void QorvDeviceLibrary::SetTraceHook(TraceHook hook) {
  std::lock_guard lock(traceLock_);
  traceHook_ = std::move(hook);
}

void QorvDeviceLibrary::Trace(const char* format, ...) {
  std::lock_guard lock(traceLock_);
  if (!traceHook_) return;
  char line[kTraceLineSize];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  traceHook_(line);
}

void QorvDeviceLibrary::NoteLockFailure(const std::string& mutexName) {
  std::lock_guard lock(lockFailureLock_);
  lockFailure_ = mutexName;
}

std::string QorvDeviceLibrary::TakeLockFailure() {
  std::lock_guard lock(lockFailureLock_);
  return std::exchange(lockFailure_, std::string());
}

void QorvDeviceLibrary::BuildDeviceList(bool includeAbsent) {
  Trace("BuildDeviceList\n");
  std::lock_guard lock(listLock_);
  std::uint32_t flags = includeAbsent ? kDigcfDeviceInterface : kDigcfDeviceInterface | kDigcfPresent;
  DeviceInfoSet set(stack_, stack_.SetupDiGetClassDevsA(interfaceGuid_, flags));
  // Without a set every enumeration call would fail with some other error for ever.
  if (!set.Valid()) return;
  for (std::uint32_t index = 0;; ++index) {
    Trace("BuildList: Enum(%d)\n", static_cast<int>(index));
    DeviceInterfaceData data{};
    if (!stack_.SetupDiEnumDeviceInterfaces(set.Get(), interfaceGuid_, index, data)) {
      if (stack_.GetLastError() == kErrorNoMoreItems) break;
      continue;
    }
    char path[kDevicePathBufferSize];
    DevInfoData element{};
    if (!stack_.SetupDiGetDeviceInterfaceDetailA(set.Get(), data, path, sizeof path, nullptr, &element)) continue;
    QorvDevice* known = GetDevice(path);
    if (known == nullptr) {
      CreateRecord(set.Get(), element, path);
      continue;
    }
    for (auto record = deviceList_.begin(); record != deviceList_.end(); ++record) {
      if (&*record != known) continue;
      deviceList_.splice(deviceList_.begin(), deviceList_, record);
      break;
    }
  }
}

QorvDevice& QorvDeviceLibrary::CreateRecord(OsHandle set, const DevInfoData& element, const char* path) {
  std::lock_guard lock(listLock_);
  QorvDevice& record = deviceList_.emplace_front(*this, TakeHandle(), !(interfaceGuid_ == FilterDriverInterfaceGuid),
                                                 std::string(path));
  Trace("QorvDevice: first = %08x this = %08x handle = %08x nextHandle = %08x\n", TraceId(&deviceList_.front()),
        TraceId(&record), record.Handle(), nextHandle_);
  record.FetchInstanceId(set, element);
  Trace("QorvDevice: first = %08x this = %08x InstanceID = %s\n", TraceId(&deviceList_.front()), TraceId(&record),
        record.instanceId_ ? record.instanceId_->c_str() : "(null)");
  return record;
}

// The high half stays 0x564D and the low half steps by an odd amount, so the first
// 65536 records get distinct handles and none is ever 0.
std::uint32_t QorvDeviceLibrary::TakeHandle() {
  std::uint32_t handle = nextHandle_;
  nextHandle_ = (nextHandle_ & 0xFFFF0000u) | ((nextHandle_ + kHandleStep) & 0xFFFFu);
  return handle;
}

int QorvDeviceLibrary::DeviceCount() {
  std::lock_guard lock(listLock_);
  return static_cast<int>(deviceList_.size());
}

std::uint32_t QorvDeviceLibrary::FirstDevice() {
  std::lock_guard lock(listLock_);
  return deviceList_.empty() ? 0 : deviceList_.front().Handle();
}

std::uint32_t QorvDeviceLibrary::NextDevice(std::uint32_t handle) {
  std::lock_guard lock(listLock_);
  for (auto record = deviceList_.begin(); record != deviceList_.end(); ++record) {
    if (record->Handle() != handle) continue;
    ++record;
    return record == deviceList_.end() ? 0 : record->Handle();
  }
  return 0;
}

QorvDevice* QorvDeviceLibrary::FindByHandle(std::uint32_t handle) {
  std::lock_guard lock(listLock_);
  for (QorvDevice& record : deviceList_)
    if (record.Handle() == handle) return &record;
  return nullptr;
}

QorvDevice* QorvDeviceLibrary::GetDevice(const char* path) {
  if (path == nullptr) return nullptr;
  Trace("GetDevice(%s)\n", path);
  QorvDevice* found = nullptr;
  {
    std::lock_guard lock(listLock_);
    for (QorvDevice& record : deviceList_) {
      if (record.DevicePath().empty() || !SamePathIgnoringCase(record.DevicePath().c_str(), path)) continue;
      found = &record;
      break;
    }
  }
  Trace("GetDevice(%s) %08x\n", path, TraceId(found));
  return found;
}

}  // namespace tessora
