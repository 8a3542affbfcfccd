#pragma once
#include <cstdint>
#include <string>

namespace tessora::testing {

// The programs' settings key, HKEY_LOCAL_MACHINE\Software\Velmora\tessora, as another
// program sees it.
void DeleteSettingsKey();
bool WriteSettingByte(const char* name, std::uint8_t value);
// The value's one byte; -1 when it is missing or not one byte long.
int ReadSettingByte(const char* name);

}  // namespace tessora::testing
