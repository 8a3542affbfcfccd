// The FilterDriver and WinUSB faces of the simulated system.
#include "platform/sim/sim_device_stack.h"

namespace tessora::sim {

bool SimDeviceStack::DeviceIoControl(OsHandle /*device*/, std::uint32_t /*code*/, const void* /*in*/,
                                     std::uint32_t /*inSize*/, void* /*out*/, std::uint32_t /*outSize*/,
                                     std::uint32_t* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  return Fail(kErrorNotSupported);
}

bool SimDeviceStack::WinUsb_Initialize(OsHandle /*device*/, OsHandle* /*interfaceHandle*/) {
  return Fail(kErrorNotSupported);
}

bool SimDeviceStack::WinUsb_ControlTransfer(OsHandle /*interfaceHandle*/, const UsbSetupPacket& /*setup*/,
                                            std::uint8_t* /*buffer*/, std::uint32_t /*bufferLength*/,
                                            std::uint32_t* transferred) {
  if (transferred != nullptr) *transferred = 0;
  return Fail(kErrorNotSupported);
}

bool SimDeviceStack::WinUsb_Free(OsHandle /*interfaceHandle*/) { return Fail(kErrorNotSupported); }

}  // namespace tessora::sim
