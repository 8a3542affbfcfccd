#include "hid/hid_interface_path.h"

#include <cstring>
#include <new>

namespace tessora {

DeviceInfoSet OpenPresentHidInterfaces(DeviceStack& stack, Guid& hidGuid) {
  hidGuid = stack.HidD_GetHidGuid();
  return DeviceInfoSet(stack, stack.SetupDiGetClassDevsA(hidGuid, kDigcfPresent | kDigcfDeviceInterface));
}

InterfacePathResult ReadInterfacePath(DeviceStack& stack, OsHandle set, const DeviceInterfaceData& interface,
                                      std::unique_ptr<char[]>& path) {
  std::uint32_t required = 0;
  stack.SetupDiGetDeviceInterfaceDetailA(set, interface, nullptr, 0, &required, nullptr);
  path.reset(new (std::nothrow) char[required]());
  if (!path) return InterfacePathResult::NoMemory;
  if (!stack.SetupDiGetDeviceInterfaceDetailA(set, interface, path.get(), required, nullptr, nullptr))
    return InterfacePathResult::Unreadable;
  // Whatever the stack wrote, the path is only used as a text that ends inside the record.
  if (std::memchr(path.get(), '\0', required) == nullptr) return InterfacePathResult::Unreadable;
  return InterfacePathResult::Read;
}

}  // namespace tessora
