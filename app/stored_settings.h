#pragma once
#include "engine/settings.h"
#include "platform/settings_store.h"

namespace tessora {

// Fills the settings from the store, creating the store and any missing value from the
// current fields (the defaults at start).
void LoadSettings(Settings& settings, SettingsStore& store);
// Writes all seven values.
void SaveSettings(const Settings& settings, SettingsStore& store);

// "HID", "WinUSB" or "FilterDriver": the interface the settings select.
const char* InterfaceName(const Settings& settings);

}  // namespace tessora
