#include "platform/linux/ms_os_request.h"

#include <cstddef>
#include <cstdint>

namespace tessora::linuxstack {

namespace {

constexpr unsigned kDescriptorTimeoutMs = 1000;
constexpr std::uint8_t kStandardDeviceIn = 0x80;
constexpr std::uint8_t kVendorDeviceIn = 0xC0;
constexpr std::uint16_t kBosDescriptor = 0x0F00;
constexpr std::size_t kBosHeaderLength = 5;

// One IN control transfer of exactly `length` bytes.
std::vector<std::uint8_t> ReadControl(libusb_device_handle* handle, std::uint8_t requestType, std::uint8_t request,
                                      std::uint16_t value, std::uint16_t index, std::uint16_t length) {
  std::vector<std::uint8_t> bytes(length);
  int got = libusb_control_transfer(handle, requestType, request, value, index, bytes.data(), length,
                                    kDescriptorTimeoutMs);
  bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return bytes;
}

}  // namespace

std::vector<DeclaredInterfaceClass> AskInterfaceClasses(libusb_device_handle* handle) {
  std::vector<std::uint8_t> bos = ReadControl(handle, kStandardDeviceIn, LIBUSB_REQUEST_GET_DESCRIPTOR, kBosDescriptor,
                                              0, kBosHeaderLength);
  if (bos.size() < kBosHeaderLength) return {};
  bos = ReadControl(handle, kStandardDeviceIn, LIBUSB_REQUEST_GET_DESCRIPTOR, kBosDescriptor, 0,
                    static_cast<std::uint16_t>(bos[2] | bos[3] << 8));
  std::optional<MsOs20Location> location = FindMsOs20Capability(bos);
  if (!location) return {};
  std::vector<std::uint8_t> set =
      ReadControl(handle, kVendorDeviceIn, location->vendorCode, 0, kMsOs20DescriptorIndex, location->totalLength);
  return DeclaredInterfaceClasses(set);
}

}  // namespace tessora::linuxstack
