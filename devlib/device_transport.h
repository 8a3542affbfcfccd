#pragma once
#include <cstdint>
#include <vector>

namespace tessora {

// The four device operations as one driver transport carries them. The bus operations
// send the same command packet on every transport; only how it travels differs.
class DeviceTransport {
 public:
  virtual ~DeviceTransport() = default;

  // Bytes moved; 0 on failure.
  virtual std::uint32_t MemoryWrite(std::uint16_t address, std::uint32_t count, const std::uint8_t* data) = 0;
  virtual std::uint32_t MemoryRead(std::uint16_t address, std::uint32_t count, std::uint8_t* out) = 0;
  // A BusResult.
  std::uint32_t BusWrite(std::uint8_t busAddress, std::uint16_t subaddressCount, const std::uint8_t* subaddress,
                         std::uint16_t count, const std::uint8_t* data);
  std::uint32_t BusRead(std::uint8_t busAddress, std::uint16_t subaddressCount, const std::uint8_t* subaddress,
                        std::uint16_t count, std::uint8_t* out);

 protected:
  // Sends the command packet, waits for its final status and, for a read, fetches
  // readCount bytes into readInto. A BusResult.
  virtual std::uint32_t BusTransaction(std::vector<std::uint8_t> packet, bool read, std::uint8_t* readInto,
                                       std::uint16_t readCount) = 0;
};

}  // namespace tessora
