#include "devlib/device_transport.h"

#include "devlib/bus_command.h"

namespace tessora {

std::uint32_t DeviceTransport::BusWrite(std::uint8_t busAddress, std::uint16_t subaddressCount,
                                        const std::uint8_t* subaddress, std::uint16_t count,
                                        const std::uint8_t* data) {
  if (count > 0 && data == nullptr) return kBusCommandRefused;
  return BusTransaction(BuildBusCommand(false, busAddress, subaddressCount, subaddress, count, data), false, nullptr,
                        0);
}

std::uint32_t DeviceTransport::BusRead(std::uint8_t busAddress, std::uint16_t subaddressCount,
                                       const std::uint8_t* subaddress, std::uint16_t count, std::uint8_t* out) {
  if (count > 0 && out == nullptr) return kBusDataIncomplete;
  return BusTransaction(BuildBusCommand(true, busAddress, subaddressCount, subaddress, count, nullptr), true, out,
                        count);
}

}  // namespace tessora
