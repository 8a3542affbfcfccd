#include "tests/win32/program_state.h"

#include <windows.h>

#include <algorithm>

namespace tessora::test {

namespace {

constexpr char kKeyPath[] = "Software\\Velmora\\tessora";
// The view both builds of the programs use: the 32-bit one.
constexpr REGSAM kSharedView = KEY_WOW64_32KEY;

struct Key {
  HKEY handle = nullptr;
  ~Key() {
    if (handle != nullptr) RegCloseKey(handle);
  }
};

}  // namespace

void DeleteSettingsKey() { RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, kSharedView, 0); }

int ReadSettingByte(const char* name) {
  Key key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_QUERY_VALUE | kSharedView, &key.handle) != ERROR_SUCCESS)
    return -1;
  BYTE data[4] = {};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key.handle, name, nullptr, nullptr, data, &size) != ERROR_SUCCESS || size != 1) return -1;
  return data[0];
}

bool EepromHolds(const TempDir& board, const std::vector<std::uint8_t>& image) {
  const std::string eeprom = ReadFile(board.File("eeprom.bin"));
  return eeprom.size() >= image.size() &&
         std::equal(image.begin(), image.end(), eeprom.begin(), [](std::uint8_t a, char b) {
           return a == static_cast<std::uint8_t>(b);
         });
}

}  // namespace tessora::test
