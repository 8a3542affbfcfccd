#pragma once
#include <memory>

#include "platform/device_stack.h"
#include "platform/stack_handle.h"

namespace tessora {

// The set of HID interfaces present, and the HID interface class it was asked for.
DeviceInfoSet OpenPresentHidInterfaces(DeviceStack& stack, Guid& hidGuid);

enum class InterfacePathResult { Read, NoMemory, Unreadable };

// Reads one interface's path into a record of the size the stack asks for; the record
// stays with the caller whatever the result.
InterfacePathResult ReadInterfacePath(DeviceStack& stack, OsHandle set, const DeviceInterfaceData& interface,
                                      std::unique_ptr<char[]>& path);

}  // namespace tessora
