#pragma once
#include <cstdint>
#include <memory>

#include "hid/hid_context.h"

namespace tessora {

// Refills HidDeviceTable with up to 64 present HID interfaces; silent, it stops at the
// first interface it cannot read. Returns the number of complete entries.
std::uint32_t EnumerateHidDevices(HidContext& context);

// Builds HidCandidateList from the present HID interfaces, showing the first problem it
// meets and giving up there. At most 127 devices are listed, always followed by the end
// entry when the list is built.
bool ListHidDevices(HidContext& context);

// Opens one interface of the set for queries; the interface path (the detail record)
// stays with the caller in `detail`. The null handle after a message of its own.
OsHandle OpenDeviceInterface(HidContext& context, OsHandle set, const DeviceInterfaceData& interface,
                             std::unique_ptr<char[]>& detail);

}  // namespace tessora
