#pragma once
#include <cstdint>

#include "devlib/qorv_device_library.h"
#include "engine/driver_dispatch.h"

namespace tessora {

// Routes the engine's driver requests to the device records of the library: to the
// WinUSB transport while the WinUSB interface GUID is current, else to the FilterDriver
// transport. A record made under the other GUID is refused, as is an unknown handle.
class QorvDeviceDispatch : public DriverDispatch {
 public:
  explicit QorvDeviceDispatch(QorvDeviceLibrary& library) : library_(library) {}

  std::uint32_t DispatchMemoryWrite(std::uint32_t handle, std::uint16_t address, std::uint32_t count,
                                    const std::uint8_t* data) override;
  std::uint32_t DispatchMemoryRead(std::uint32_t handle, std::uint16_t address, std::uint32_t count,
                                   std::uint8_t* destination) override;
  std::uint32_t DispatchBusWrite(std::uint32_t handle, std::uint8_t busAddress, std::uint16_t subaddressCount,
                                 const std::uint8_t* subaddress, std::uint16_t count, const std::uint8_t* data) override;
  std::uint32_t DispatchBusRead(std::uint32_t handle, std::uint8_t busAddress, std::uint16_t subaddressCount,
                                const std::uint8_t* subaddress, std::uint16_t count, std::uint8_t* destination) override;

 private:
  enum class Route { Refused, FilterDriver, WinUsb };
  Route RouteFor(QorvDevice* record);
  template <typename Operation>
  std::uint32_t Carry(std::uint32_t handle, std::uint32_t refused, Operation operation);

  QorvDeviceLibrary& library_;
};

}  // namespace tessora
