#pragma once
#include <cstdint>
#include <vector>

#include "tests/support/test_support.h"

namespace tessora::test {

// The programs' settings key, HKEY_LOCAL_MACHINE\Software\Velmora\tessora, as another
// program sees it.
void DeleteSettingsKey();
// The value's one byte; -1 when it is missing or not one byte long.
int ReadSettingByte(const char* name);

// Whether the simulated board kept in this folder has the image at the start of its EEPROM.
bool EepromHolds(const TempDir& board, const std::vector<std::uint8_t>& image);

}  // namespace tessora::test
