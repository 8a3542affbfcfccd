// Device interface sets of an emulated stack (SETUPAPI): a set holds the interfaces as the
// listing found them, enumeration goes by interface class, and the text calls follow
// Windows's size rules.
#include <cstring>

#include "platform/emulation/emulated_device_stack.h"

namespace tessora {

namespace {

constexpr std::uint32_t kErrorNoSuchDeviceInterface = 0xE000020B;
constexpr std::uint32_t kInterfaceActive = 1;  // SPINT_ACTIVE

// The text with its terminator. The size it needs, terminator included (1 for empty text,
// as a NULL-terminated string needs its NULL), is told whether or not it fits; without a
// buffer that holds it the call fails with ERROR_INSUFFICIENT_BUFFER, and once it fits,
// with `refusal` when that is not success.
bool DeliverText(const std::string& text, char* buffer, std::uint32_t bufferSize, std::uint32_t* requiredSize,
                 std::uint32_t refusal = kErrorSuccess) {
  std::uint32_t needed = static_cast<std::uint32_t>(text.size() + 1);
  if (requiredSize != nullptr) *requiredSize = needed;
  if (buffer == nullptr || bufferSize < needed) return FailWith(kErrorInsufficientBuffer);
  if (refusal != kErrorSuccess) return FailWith(refusal);
  std::memcpy(buffer, text.c_str(), needed);
  return true;
}

// The enumeration record of a set's member; the backend's reference is its place in the set.
DeviceInterfaceData RecordOf(std::size_t member, const Guid& interfaceClass, bool active) {
  DeviceInterfaceData data;
  data.interfaceClassGuid = interfaceClass;
  data.flags = active ? kInterfaceActive : 0;
  data.reserved = member + 1;
  return data;
}

}  // namespace

OsHandle EmulatedDeviceStack::SetupDiGetClassDevsA(const Guid& interfaceClass, std::uint32_t flags) {
  if ((flags & kDigcfDeviceInterface) == 0) return Fail(kErrorInvalidParameter), kInvalidHandle;
  InterfaceSet listed = ListInterfaces(interfaceClass, (flags & kDigcfPresent) != 0);
  std::lock_guard lock(mutex_);
  return sets_.Add(std::move(listed));
}

// The index counts the set's interfaces of the class asked for only.
bool EmulatedDeviceStack::SetupDiEnumDeviceInterfaces(OsHandle set, const Guid& interfaceClass, std::uint32_t index,
                                                      DeviceInterfaceData& data) {
  std::lock_guard lock(mutex_);
  InterfaceSet* members = sets_.Find(set);
  if (members == nullptr) return false;
  std::uint32_t seen = 0;
  for (std::size_t member = 0; member < members->size(); ++member) {
    const ListedInterface& listed = (*members)[member];
    if (!(listed.interfaceClass == interfaceClass) || seen++ != index) continue;
    data = RecordOf(member, interfaceClass, listed.active);
    return true;
  }
  return Fail(kErrorNoMoreItems);
}

const EmulatedDeviceStack::ListedInterface* EmulatedDeviceStack::SetMember(OsHandle set, std::uintptr_t reserved) {
  InterfaceSet* members = sets_.Find(set);
  if (members == nullptr) return nullptr;
  if (reserved == 0 || reserved > members->size()) return Fail(kErrorInvalidParameter), nullptr;
  return &(*members)[reserved - 1];
}

// Without a path buffer only the required size and the device element are delivered.
bool EmulatedDeviceStack::SetupDiGetDeviceInterfaceDetailA(OsHandle set, const DeviceInterfaceData& data, char* path,
                                                           std::uint32_t pathSize, std::uint32_t* requiredSize,
                                                           DevInfoData* device) {
  std::lock_guard lock(mutex_);
  const ListedInterface* listed = SetMember(set, data.reserved);
  if (listed == nullptr) return false;
  if (device != nullptr) {
    device->classGuid = listed->interfaceClass;
    device->devInst = static_cast<std::uint32_t>(data.reserved);
    device->reserved = data.reserved;
  }
  return DeliverText(listed->path, path, pathSize, requiredSize, listed->pathError);
}

bool EmulatedDeviceStack::SetupDiGetDeviceInstanceIdA(OsHandle set, const DevInfoData& device, char* buffer,
                                                      std::uint32_t bufferSize, std::uint32_t* requiredSize) {
  std::lock_guard lock(mutex_);
  const ListedInterface* listed = SetMember(set, device.reserved);
  return listed != nullptr && DeliverText(listed->instanceId, buffer, bufferSize, requiredSize);
}

OsHandle EmulatedDeviceStack::SetupDiCreateDeviceInfoList() {
  std::lock_guard lock(mutex_);
  return sets_.Add({});
}

bool EmulatedDeviceStack::SetupDiOpenDeviceInterfaceA(OsHandle set, const char* path, std::uint32_t /*openFlags*/,
                                                      DeviceInterfaceData* data) {
  {
    std::lock_guard lock(mutex_);
    if (sets_.Find(set) == nullptr) return false;
  }
  if (path == nullptr) return Fail(kErrorInvalidParameter);
  std::optional<ListedInterface> found = LookUpInterface(path);
  std::lock_guard lock(mutex_);
  InterfaceSet* members = sets_.Find(set);  // it may have gone meanwhile
  if (members == nullptr) return false;
  if (!found) return Fail(kErrorNoSuchDeviceInterface);
  members->push_back(std::move(*found));
  if (data != nullptr) *data = RecordOf(members->size() - 1, members->back().interfaceClass, members->back().active);
  return true;
}

bool EmulatedDeviceStack::SetupDiDestroyDeviceInfoList(OsHandle set) {
  std::lock_guard lock(mutex_);
  return sets_.Remove(set);
}

}  // namespace tessora
