#pragma once
#include <string>
#include <vector>

#include "platform/linux/udev_devices.h"

namespace tessora::linuxstack {

// A udev rule that tags the hidraw and USB nodes of these controllers' models "uaccess",
// so that the logged-in user may open them; one pair of lines per vendor and product ID.
// Empty when there is nothing to grant.
std::string UdevRule(const std::vector<LinuxNode>& controllers);

}  // namespace tessora::linuxstack
