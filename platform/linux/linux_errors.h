#pragma once
#include <cstdint>

namespace tessora::linuxstack {

// The one place where kernel and libusb failures become the last-error codes the
// transports and the HID object act on, as Windows would report the same event.
std::uint32_t LastErrorFromErrno(int error);
std::uint32_t LastErrorFromLibusb(int error);

}  // namespace tessora::linuxstack
