#pragma once
#include <cstdint>
#include <vector>

#include "devlib/device_transport.h"
#include "devlib/qorv_device.h"

namespace tessora {

// The four device operations as I/O-control requests to the kernel FilterDriver. Each
// opens the device for itself; the bus operations also hold the device's inter-process
// lock, so that no other program interleaves its own bus transaction.
class FilterDriverTransport : public DeviceTransport {
 public:
  static constexpr std::uint32_t kIoctlMemoryRead = 0x22200C;
  static constexpr std::uint32_t kIoctlMemoryWrite = 0x222010;
  static constexpr std::uint32_t kIoctlBusData = 0x222020;
  static constexpr std::uint32_t kIoctlBusCommand = 0x222024;
  static constexpr std::uint32_t kIoctlBusStatus = 0x22202C;
  // ERROR_CRC is the one failure worth repeating, and only so often.
  static constexpr int kMaxAttempts = 6;

  explicit FilterDriverTransport(QorvDevice& device) : device_(device) {}

  std::uint32_t MemoryWrite(std::uint16_t address, std::uint32_t count, const std::uint8_t* data) override;
  std::uint32_t MemoryRead(std::uint16_t address, std::uint32_t count, std::uint8_t* out) override;

 private:
  bool Request(const DeviceHandle& device, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
               std::uint32_t outSize, std::uint32_t& returned);
  std::uint32_t BusTransaction(std::vector<std::uint8_t> packet, bool read, std::uint8_t* readInto,
                               std::uint16_t readCount) override;

  QorvDevice& device_;
};

}  // namespace tessora
