#include "devlib/filter_driver_transport.h"

#include "devlib/bus_command.h"
#include "devlib/qorv_device_library.h"

namespace tessora {

bool FilterDriverTransport::Request(const DeviceHandle& device, std::uint32_t code, const void* in,
                                    std::uint32_t inSize, void* out, std::uint32_t outSize, std::uint32_t& returned) {
  DeviceStack& stack = device_.Library().Stack();
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    returned = 0;
    if (stack.DeviceIoControl(device.Get(), code, in, inSize, out, outSize, &returned)) return true;
    if (stack.GetLastError() != kErrorCrc) return false;
  }
  return false;
}

std::uint32_t FilterDriverTransport::MemoryWrite(std::uint16_t address, std::uint32_t count,
                                                 const std::uint8_t* data) {
  if (count > UINT32_MAX - 2 || (count > 0 && data == nullptr)) return 0;
  DeviceHandle device = device_.OpenDevice();
  if (!device.Valid()) return 0;
  std::vector<std::uint8_t> request;
  request.reserve(2u + count);
  request.push_back(static_cast<std::uint8_t>(address & 0xFF));
  request.push_back(static_cast<std::uint8_t>(address >> 8));
  request.insert(request.end(), data, data + count);
  std::uint32_t returned = 0;
  bool sent = Request(device, kIoctlMemoryWrite, request.data(), static_cast<std::uint32_t>(request.size()), nullptr,
                      0, returned);
  return sent ? count : 0;
}

std::uint32_t FilterDriverTransport::MemoryRead(std::uint16_t address, std::uint32_t count, std::uint8_t* out) {
  if (count > 0 && out == nullptr) return 0;
  DeviceHandle device = device_.OpenDevice();
  if (!device.Valid()) return 0;
  std::uint8_t request[2] = {static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(address >> 8)};
  std::uint32_t returned = 0;
  if (!Request(device, kIoctlMemoryRead, request, sizeof request, out, count, returned)) return 0;
  return returned <= count ? returned : 0;
}

// A read fetches its readCount bytes once the status says the transaction is done.
std::uint32_t FilterDriverTransport::BusTransaction(std::vector<std::uint8_t> packet, bool read,
                                                    std::uint8_t* readInto, std::uint16_t readCount) {
  QorvDeviceLibrary& library = device_.Library();
  DeviceLock lock(device_, library.LockTimeout());
  if (!lock.Held()) return kBusLockTimeout;
  DeviceHandle device = device_.OpenDevice();
  if (!device.Valid()) return kBusNotOpened;

  std::uint32_t returned = 0;
  bool accepted = Request(device, kIoctlBusCommand, packet.data(), static_cast<std::uint32_t>(packet.size()), nullptr,
                          0, returned);
  // The bus needs the time for the packet whether or not the driver took it.
  library.Os().Sleep(BusCommandPause(packet.size()));
  if (!accepted) return kBusCommandRefused;

  BusResult result = PollBusStatus(library.Os(), [&](std::uint8_t& status) {
    std::uint32_t got = 0;
    return Request(device, kIoctlBusStatus, nullptr, 0, &status, 1, got) && got == 1;
  });
  if (result != kBusOk || !read) return result;

  std::uint32_t got = 0;
  bool fetched = Request(device, kIoctlBusData, nullptr, 0, readInto, readCount, got);
  return fetched && got == readCount ? kBusOk : kBusDataIncomplete;
}

}  // namespace tessora
