#pragma once
#include <libusb.h>

#include <vector>

#include "platform/linux/ms_os_descriptor.h"

namespace tessora::linuxstack {

// The interface classes a device declares in its Microsoft OS 2.0 descriptors, asked as
// Windows asks at enumeration: the BOS descriptor (a standard request), then the vendor
// request for the descriptor set only when the BOS holds the capability. Nothing else is sent.
std::vector<DeclaredInterfaceClass> AskInterfaceClasses(libusb_device_handle* handle);

}  // namespace tessora::linuxstack
