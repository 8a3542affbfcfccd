// The Linux settings file on any content: every value is queried, and a value written
// must read back whatever else the file holds.
#include <cstdint>
#include <string>

#include "fuzz/input_file.h"
#include "platform/posix/file_settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tessora::fuzz::InputFile file;
  static const char* const kNames[] = {"EEPROM_ADR",    "readsize_hi",  "readsize_lo",  "addressing",
                                       "readsize_auto", "device_iface", "winusb_option"};
  tessora::FileSettingsStore store(file.Write(data, size, "tessora"));
  std::uint8_t value = 0;
  if (store.OpenForQuery())
    for (const char* name : kNames) store.QueryByte(name, value);
  store.Close();
  if (size == 0) return 0;

  const char* name = kNames[data[0] % 7];
  std::uint8_t written = data[size - 1];
  if (!store.OpenForWrite() || !store.WriteByte(name, written)) __builtin_trap();
  store.Close();
  std::uint8_t read = static_cast<std::uint8_t>(~written);
  if (!store.OpenForQuery() || !store.QueryByte(name, read) || read != written) __builtin_trap();
  return 0;
}
