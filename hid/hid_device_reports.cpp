// hidDeviceClass: the blocking report transfers on the I/O handle.
#include "hid/hid_device.h"

namespace tessora {

bool hidDeviceClass::SetFeatureReport(std::uint8_t* buffer, std::uint32_t length) {
  return context_.stack.HidD_SetFeature(ioHandle.Get(), buffer, length);
}

bool hidDeviceClass::GetFeatureReport(std::uint8_t* buffer, std::uint32_t length) {
  return context_.stack.HidD_GetFeature(ioHandle.Get(), buffer, length);
}

bool hidDeviceClass::WriteReport(std::uint8_t* buffer, std::uint32_t length) {
  std::uint32_t written = 0;
  return context_.stack.WriteFile(ioHandle.Get(), buffer, length, &written);
}

std::uint32_t hidDeviceClass::ReadReport(std::uint8_t* buffer, std::uint32_t length) {
  std::uint32_t read = 0;
  return context_.stack.ReadFile(ioHandle.Get(), buffer, length, &read) ? read : 0;
}

}  // namespace tessora
