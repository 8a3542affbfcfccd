#pragma once
#include <string>
#include <vector>

#include "app/device_inventory.h"
#include "platform/device_stack.h"

namespace tessora {

// The controllers the stack lists: the HID interfaces that declare the controller's report,
// then the WinUSB interfaces.
std::vector<DeviceInterfaceRecord> ControllersPresent(DeviceStack& stack);

// A udev rule that tags the hidraw and USB nodes of these controllers' models "uaccess",
// so that the logged-in user may open them; one pair of lines per vendor and product ID.
// Empty when there is nothing to grant.
std::string UdevRule(const std::vector<DeviceInterfaceRecord>& controllers);

}  // namespace tessora
