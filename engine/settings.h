#pragma once
#include <cstdint>

namespace tessora {

// The user's choices, loaded from the settings store when the program starts.
struct Settings {
  std::uint8_t eepromAddress = 0x51;  // 7-bit bus address of the boot EEPROM
  std::uint8_t subaddressing = 2;     // subaddress bytes: 1 or 2
  std::uint8_t readSizeAuto = 1;      // read-out size from the EEPROM header
  std::uint16_t readSize = 256;       // manual read-out size and fallback
  std::uint32_t useHid = 0;
  std::uint32_t useWinUsb = 0;        // when not HID: WinUSB instead of FilterDriver
  std::uint32_t hidUseFeature = 1;    // feature reports rather than output/input reports
};

// Bus addresses are 7 bits wide: a larger one would reach another device on the bus,
// since the address byte is the address shifted left by one.
constexpr std::uint8_t kLargestBusAddress = 0x7F;

// The largest EEPROM supported, in bytes.
constexpr std::int32_t MaxEepromSize = 16384;

}  // namespace tessora
