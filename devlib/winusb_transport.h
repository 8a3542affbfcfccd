#pragma once
#include <cstdint>
#include <vector>

#include "devlib/device_transport.h"
#include "devlib/qorv_device.h"

namespace tessora {

// The four device operations as vendor control transfers on the default pipe of a
// controller bound to WinUSB. Every operation holds the device's inter-process lock and
// opens and initialises the device afresh; nothing is kept between operations.
class WinUsbTransport : public DeviceTransport {
 public:
  static constexpr std::uint8_t kVendorOut = 0x40;
  static constexpr std::uint8_t kVendorIn = 0xC0;
  static constexpr std::uint8_t kRequestMemoryWrite = 0x04;
  static constexpr std::uint8_t kRequestMemoryRead = 0x05;
  static constexpr std::uint8_t kRequestBusCommand = 0x08;
  static constexpr std::uint8_t kRequestBusResult = 0x09;  // wValue 1: status byte, 0: read data

  explicit WinUsbTransport(QorvDevice& device) : device_(device) {}

  std::uint32_t MemoryWrite(std::uint16_t address, std::uint32_t count, const std::uint8_t* data) override;
  std::uint32_t MemoryRead(std::uint16_t address, std::uint32_t count, std::uint8_t* out) override;

 private:
  std::uint32_t MemoryTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer);
  std::uint32_t BusTransaction(std::vector<std::uint8_t> packet, bool read, std::uint8_t* readInto,
                               std::uint16_t readCount) override;

  QorvDevice& device_;
};

}  // namespace tessora
