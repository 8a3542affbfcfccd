#include "app/stored_settings.h"

#include <gtest/gtest.h>

#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <cstdlib>

#include "platform/posix/file_settings_store.h"
#endif

namespace tessora {
namespace {

using test::MemorySettingsStore;
using Names = std::vector<std::string>;

// An unreadable value, and an address beyond 7 bits (which would reach another device),
// are rewritten from the field; the others are taken as stored.
TEST(Settings, StoredValuesWinUnlessUnusable) {
  MemorySettingsStore store;
  store.exists = true;
  store.values = {{"EEPROM_ADR", {0xD1}}, {"readsize_hi", {0x12}}, {"readsize_lo", {0x34}}, {"addressing", {1}},
                  {"readsize_auto", {0}}, {"device_iface", {1}},   {"winusb_option", {1, 2}}};
  Settings settings;
  settings.useWinUsb = 1;
  LoadSettings(settings, store);
  EXPECT_EQ(store.writes, (Names{"EEPROM_ADR", "winusb_option"}));
  EXPECT_EQ(store.values["EEPROM_ADR"][0], 0x51);
  EXPECT_EQ(settings.eepromAddress, 0x51);
  EXPECT_EQ(settings.readSize, 0x1234);
  EXPECT_EQ(settings.subaddressing, 1);
  EXPECT_EQ(settings.readSizeAuto, 0);
  EXPECT_STREQ(InterfaceName(settings), "HID");
  settings.useHid = 0;
  EXPECT_STREQ(InterfaceName(settings), "WinUSB");

  store.failing = true;  // a store that fails leaves the fields alone
  store.writes.clear();
  LoadSettings(settings, store);
  SaveSettings(settings, store);
  EXPECT_EQ(settings.readSize, 0x1234);
  EXPECT_TRUE(store.writes.empty());
}

#ifndef _WIN32
TEST(FileSettingsStore, KeepsOneNameHexLinePerValue) {
  test::TempDir dir;
  std::string path = dir.File("Velmora/tessora");
  ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  EXPECT_EQ(FileSettingsStore::DefaultPath(), path);

  // Edited on Windows: CR LF line ends. Unknown lines are kept.
  std::filesystem::create_directories(dir.Path() / "Velmora");
  test::WriteFile(path, "EEPROM_ADR=50\r\nreadsize_hi=01\r\nreadsize_lo=00\r\naddressing=zz\r\n# mine\r\n");
  FileSettingsStore store(path);
  Settings settings;
  LoadSettings(settings, store);
  EXPECT_EQ(settings.eepromAddress, 0x50);
  EXPECT_EQ(settings.subaddressing, 2);  // unreadable: rewritten from the default
  EXPECT_EQ(test::ReadFile(path),
            "EEPROM_ADR=50\nreadsize_hi=01\nreadsize_lo=00\naddressing=02\n# mine\nreadsize_auto=01\n"
            "device_iface=00\nwinusb_option=00\n");
}
#endif

}  // namespace
}  // namespace tessora
