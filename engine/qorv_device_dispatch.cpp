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

std::uint32_t QorvDeviceDispatch::DispatchMemoryWrite(std::uint32_t handle, std::uint16_t address,
                                                      std::uint32_t count, const std::uint8_t* data) {
  QorvDevice* record = library_.FindByHandle(handle);
  switch (RouteFor(record)) {
    case Route::FilterDriver: return FilterDriverTransport(*record).MemoryWrite(address, count, data);
    case Route::WinUsb: return WinUsbTransport(*record).MemoryWrite(address, count, data);
    case Route::Refused: break;
  }
  return kMemoryFailed;
}

std::uint32_t QorvDeviceDispatch::DispatchMemoryRead(std::uint32_t handle, std::uint16_t address,
                                                     std::uint32_t count, std::uint8_t* destination) {
  QorvDevice* record = library_.FindByHandle(handle);
  switch (RouteFor(record)) {
    case Route::FilterDriver: return FilterDriverTransport(*record).MemoryRead(address, count, destination);
    case Route::WinUsb: return WinUsbTransport(*record).MemoryRead(address, count, destination);
    case Route::Refused: break;
  }
  return kMemoryFailed;
}

std::uint32_t QorvDeviceDispatch::DispatchBusWrite(std::uint32_t handle, std::uint8_t busAddress,
                                                   std::uint16_t subaddressCount, const std::uint8_t* subaddress,
                                                   std::uint16_t count, const std::uint8_t* data) {
  QorvDevice* record = library_.FindByHandle(handle);
  switch (RouteFor(record)) {
    case Route::FilterDriver:
      return FilterDriverTransport(*record).BusWrite(busAddress, subaddressCount, subaddress, count, data);
    case Route::WinUsb: return WinUsbTransport(*record).BusWrite(busAddress, subaddressCount, subaddress, count, data);
    case Route::Refused: break;
  }
  return kBusNotOpened;
}

std::uint32_t QorvDeviceDispatch::DispatchBusRead(std::uint32_t handle, std::uint8_t busAddress,
                                                  std::uint16_t subaddressCount, const std::uint8_t* subaddress,
                                                  std::uint16_t count, std::uint8_t* destination) {
  QorvDevice* record = library_.FindByHandle(handle);
  switch (RouteFor(record)) {
    case Route::FilterDriver:
      return FilterDriverTransport(*record).BusRead(busAddress, subaddressCount, subaddress, count, destination);
    case Route::WinUsb:
      return WinUsbTransport(*record).BusRead(busAddress, subaddressCount, subaddress, count, destination);
    case Route::Refused: break;
  }
  return kBusNotOpened;
}

}  // namespace tessora
