#pragma once
#include <string>
#include <vector>

#include "platform/device_stack.h"

namespace tessora {

// `tessora --list`: one line for every interface of the device inventory (interface, path,
// VID:PID, product, serial, instance ID, whether it opens for reading and writing; HID
// interfaces that declare the controller's report are marked as candidates). Opens and
// closes the interfaces but sends no request.
std::vector<std::string> ListDeviceInterfaces(DeviceStack& stack);

}  // namespace tessora
