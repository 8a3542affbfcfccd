#include "tests/win32/settings_key.h"

#include <windows.h>

namespace tessora::testing {

namespace {

constexpr char kKeyPath[] = "Software\\Velmora\\tessora";

struct Key {
  HKEY handle = nullptr;
  ~Key() {
    if (handle != nullptr) RegCloseKey(handle);
  }
};

}  // namespace

void DeleteSettingsKey() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKeyPath); }

bool WriteSettingByte(const char* name, std::uint8_t value) {
  Key key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key.handle, nullptr) !=
      ERROR_SUCCESS)
    return false;
  return RegSetValueExA(key.handle, name, 0, REG_BINARY, &value, 1) == ERROR_SUCCESS;
}

int ReadSettingByte(const char* name) {
  Key key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_QUERY_VALUE, &key.handle) != ERROR_SUCCESS) return -1;
  BYTE data[4] = {};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key.handle, name, nullptr, nullptr, data, &size) != ERROR_SUCCESS || size != 1) return -1;
  return data[0];
}

}  // namespace tessora::testing
