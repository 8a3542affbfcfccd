#pragma once
#include <memory>

#include "platform/device_stack.h"
#include "platform/os_services.h"

namespace tessora {

// The real device stack of the platform the program was built for (Windows calls, or
// udev, hidraw and libusb on Linux); overlapped reads signal through the OS services.
std::unique_ptr<DeviceStack> CreateNativeDeviceStack(OsServices& os);

}  // namespace tessora
