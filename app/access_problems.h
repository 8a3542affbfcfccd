#pragma once
#include <string>
#include <vector>

#include "platform/device_stack.h"

namespace tessora {

// One line for each node of a likely controller that the stack was refused for want of
// permission, naming the node, the device and the remedy: a HID node that declares the
// controller's report, or a USB device that may declare the driver interfaces. Keyboards
// and mice are refused to ordinary users on purpose and get no word.
std::vector<std::string> AccessProblems(DeviceStack& stack);

}  // namespace tessora
