#pragma once
#include <cstdint>

namespace tessora {

// The four requests the EEPROM engine sends to a device behind the FilterDriver or
// WinUSB interface, named by its device-list handle. Memory requests return the bytes
// moved (0 = failure); bus requests return a bus result (0 = success).
class DriverDispatch {
 public:
  virtual ~DriverDispatch() = default;

  virtual std::uint32_t DispatchMemoryWrite(std::uint32_t handle, std::uint16_t address, std::uint32_t count,
                                            const std::uint8_t* data) = 0;
  virtual std::uint32_t DispatchMemoryRead(std::uint32_t handle, std::uint16_t address, std::uint32_t count,
                                           std::uint8_t* destination) = 0;
  virtual std::uint32_t DispatchBusWrite(std::uint32_t handle, std::uint8_t busAddress, std::uint16_t subaddressCount,
                                         const std::uint8_t* subaddress, std::uint16_t count,
                                         const std::uint8_t* data) = 0;
  virtual std::uint32_t DispatchBusRead(std::uint32_t handle, std::uint8_t busAddress, std::uint16_t subaddressCount,
                                        const std::uint8_t* subaddress, std::uint16_t count,
                                        std::uint8_t* destination) = 0;
};

}  // namespace tessora
