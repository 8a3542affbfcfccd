#include "app/stored_settings.h"

#include <cstddef>

namespace tessora {

namespace {

// The stored values in the order every write uses. The read size travels as two bytes.
constexpr const char* kValueNames[7] = {"EEPROM_ADR",    "readsize_hi",  "readsize_lo",  "addressing",
                                        "readsize_auto", "device_iface", "winusb_option"};

// The settings as the store holds them: one byte each, the flags by their low byte.
struct ByteImage {
  explicit ByteImage(const Settings& settings)
      : address(settings.eepromAddress),
        sizeHigh(static_cast<std::uint8_t>(settings.readSize >> 8)),
        sizeLow(static_cast<std::uint8_t>(settings.readSize)),
        subaddressing(settings.subaddressing),
        sizeAuto(settings.readSizeAuto),
        hid(static_cast<std::uint8_t>(settings.useHid)),
        winUsb(static_cast<std::uint8_t>(settings.useWinUsb)) {}

  std::uint8_t* Value(std::size_t index) {
    std::uint8_t* values[7] = {&address, &sizeHigh, &sizeLow, &subaddressing, &sizeAuto, &hid, &winUsb};
    return values[index];
  }

  void StoreInto(Settings& settings) const {
    settings.eepromAddress = address;
    settings.readSize = static_cast<std::uint16_t>(sizeHigh * 256 + sizeLow);
    settings.subaddressing = subaddressing;
    settings.readSizeAuto = sizeAuto;
    settings.useHid = hid;
    settings.useWinUsb = winUsb;
  }

  std::uint8_t address, sizeHigh, sizeLow, subaddressing, sizeAuto, hid, winUsb;
};

// A stored address beyond 7 bits would reach another device: it counts as missing.
bool Usable(std::size_t index, std::uint8_t value) { return index != 0 || value <= kLargestBusAddress; }

void WriteAll(ByteImage& bytes, SettingsStore& store) {
  for (std::size_t i = 0; i < 7; ++i) store.WriteByte(kValueNames[i], *bytes.Value(i));
}

}  // namespace

void LoadSettings(Settings& settings, SettingsStore& store) {
  ByteImage bytes(settings);
  if (!store.OpenForQuery() && store.OpenForWrite()) WriteAll(bytes, store);
  for (std::size_t i = 0; i < 7; ++i) {
    std::uint8_t stored = 0;
    if (store.QueryByte(kValueNames[i], stored) && Usable(i, stored)) {
      *bytes.Value(i) = stored;
      continue;
    }
    if (store.OpenForWrite()) store.WriteByte(kValueNames[i], *bytes.Value(i));
  }
  store.Close();
  bytes.StoreInto(settings);
}

void SaveSettings(const Settings& settings, SettingsStore& store) {
  ByteImage bytes(settings);
  if (store.OpenForWrite()) WriteAll(bytes, store);
  store.Close();
}

const char* InterfaceName(const Settings& settings) {
  if (settings.useHid != 0) return "HID";
  if (settings.useWinUsb != 0) return "WinUSB";
  return "FilterDriver";
}

}  // namespace tessora
