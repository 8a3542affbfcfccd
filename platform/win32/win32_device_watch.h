#pragma once
#include <memory>

#include "platform/device_watch.h"

namespace tessora {

// A watch on the arrival and removal of device interfaces of every class, through
// CM_Register_Notification (Windows 8 and later, bound at first use); null where the
// system lacks it.
std::unique_ptr<DeviceWatch> WatchDeviceInterfaces();

}  // namespace tessora
