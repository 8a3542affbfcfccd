#pragma once
#include <memory>

#include "platform/device_watch.h"

namespace tessora::linuxstack {

// A watch on the udev events of hidraw nodes and USB devices, the nodes the Linux device
// stack lists; null when udev gives no monitor.
std::unique_ptr<DeviceWatch> WatchUdevDevices();

}  // namespace tessora::linuxstack
