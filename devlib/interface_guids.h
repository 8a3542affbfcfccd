#pragma once
#include "platform/types.h"

namespace tessora {

// Device interface of the controller behind the kernel FilterDriver.
inline constexpr Guid FilterDriverInterfaceGuid = {
    0xC3A59861, 0x025D, 0x11D3, {0x9D, 0x73, 0x00, 0x40, 0x30, 0x80, 0x4D, 0x56}};
// Device interface of the controller bound to WinUSB.
inline constexpr Guid WinUsbInterfaceGuid = {
    0x42CA71EC, 0xCE1C, 0x44C2, {0x82, 0xDE, 0x87, 0xD8, 0xD8, 0xFF, 0x6C, 0x1E}};

}  // namespace tessora
