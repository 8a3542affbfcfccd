#include "engine/qorv_device_dispatch.h"

#include "devlib/bus_command.h"
#include "devlib/filter_driver_transport.h"
#include "devlib/winusb_transport.h"

namespace tessora {

namespace {

constexpr std::uint32_t kMemoryFailed = 0;

}  // namespace

QorvDeviceDispatch::Route QorvDeviceDispatch::RouteFor(QorvDevice* record) {
  if (record == nullptr) return Route::Refused;
  bool winUsbCurrent = library_.InterfaceGuid() == WinUsbInterfaceGuid;
  if (record->WinUsb() != winUsbCurrent) return Route::Refused;
  return winUsbCurrent ? Route::WinUsb : Route::FilterDriver;
}

// Runs the operation on the record's transport, or gives the refusal result.
template <typename Operation>
std::uint32_t QorvDeviceDispatch::Carry(std::uint32_t handle, std::uint32_t refused, Operation operation) {
  QorvDevice* record = library_.FindByHandle(handle);
  switch (RouteFor(record)) {
    case Route::FilterDriver: {
      FilterDriverTransport transport(*record);
      return operation(transport);
    }
    case Route::WinUsb: {
      WinUsbTransport transport(*record);
      return operation(transport);
    }
    case Route::Refused: break;
  }
  return refused;
}

std::uint32_t QorvDeviceDispatch::DispatchMemoryWrite(std::uint32_t handle, std::uint16_t address,
                                                      std::uint32_t count, const std::uint8_t* data) {
  return Carry(handle, kMemoryFailed,
               [&](DeviceTransport& transport) { return transport.MemoryWrite(address, count, data); });
}

std::uint32_t QorvDeviceDispatch::DispatchMemoryRead(std::uint32_t handle, std::uint16_t address,
                                                     std::uint32_t count, std::uint8_t* destination) {
  return Carry(handle, kMemoryFailed,
               [&](DeviceTransport& transport) { return transport.MemoryRead(address, count, destination); });
}

std::uint32_t QorvDeviceDispatch::DispatchBusWrite(std::uint32_t handle, std::uint8_t busAddress,
                                                   std::uint16_t subaddressCount, const std::uint8_t* subaddress,
                                                   std::uint16_t count, const std::uint8_t* data) {
  return Carry(handle, kBusNotOpened, [&](DeviceTransport& transport) {
    return transport.BusWrite(busAddress, subaddressCount, subaddress, count, data);
  });
}

std::uint32_t QorvDeviceDispatch::DispatchBusRead(std::uint32_t handle, std::uint8_t busAddress,
                                                  std::uint16_t subaddressCount, const std::uint8_t* subaddress,
                                                  std::uint16_t count, std::uint8_t* destination) {
  return Carry(handle, kBusNotOpened, [&](DeviceTransport& transport) {
    return transport.BusRead(busAddress, subaddressCount, subaddress, count, destination);
  });
}

}  // namespace tessora
