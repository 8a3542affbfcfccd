#pragma once
#include <cstdint>

namespace tessora {

// What the EEPROM engine and the shell need of a HID device: whether it is open, its
// report lengths (ID byte included, 0 when the device has no such report), the four
// report transfers, and closing it.
class HidReportPort {
 public:
  virtual ~HidReportPort() = default;

  virtual bool IsOpen() const = 0;

  virtual std::uint16_t FeatureReportLength() const = 0;
  virtual std::uint16_t InputReportLength() const = 0;
  virtual std::uint16_t OutputReportLength() const = 0;

  virtual bool SetFeatureReport(std::uint8_t* buffer, std::uint32_t length) = 0;
  virtual bool GetFeatureReport(std::uint8_t* buffer, std::uint32_t length) = 0;
  virtual bool WriteReport(std::uint8_t* buffer, std::uint32_t length) = 0;
  // Bytes read, 0 on failure.
  virtual std::uint32_t ReadReport(std::uint8_t* buffer, std::uint32_t length) = 0;
  // Releases the device; a closed device carries nothing more.
  virtual void Close() = 0;
};

}  // namespace tessora
