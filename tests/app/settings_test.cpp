#include "app/settings.h"

#include <gtest/gtest.h>

#include "tests/support/recording_ui.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <cstdlib>

#include "platform/posix/file_settings_store.h"
#endif

namespace tessora {
namespace {

using testing::MemorySettingsStore;

const std::vector<std::string> kWriteOrder = {"EEPROM_ADR",    "readsize_hi",  "readsize_lo",  "addressing",
                                              "readsize_auto", "device_iface", "winusb_option"};

TEST(Settings, FirstStartStoresTheDefaultsInWriteOrder) {
  MemorySettingsStore store;
  Settings settings;
  LoadSettings(settings, store);
  EXPECT_EQ(store.writes, kWriteOrder);
  std::vector<std::uint8_t> bytes;
  for (const std::string& name : kWriteOrder) bytes.push_back(store.values[name][0]);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x51, 0x01, 0x00, 0x02, 0x01, 0x00, 0x00}));
  EXPECT_STREQ(InterfaceName(settings), "FilterDriver");
}

TEST(Settings, StoredValuesWinAndAMissingOneIsRewrittenFromTheField) {
  MemorySettingsStore store;
  store.exists = true;
  store.values = {{"EEPROM_ADR", {0x50}}, {"readsize_hi", {0x12}}, {"readsize_lo", {0x34}}, {"addressing", {1}},
                  {"readsize_auto", {0}}, {"device_iface", {1}},   {"winusb_option", {1, 2}}};
  Settings settings;
  settings.useWinUsb = 1;
  LoadSettings(settings, store);
  EXPECT_EQ(store.writes, (std::vector<std::string>{"winusb_option"}));  // two bytes count as unreadable
  EXPECT_EQ(store.values["winusb_option"], (std::vector<std::uint8_t>{1}));
  EXPECT_EQ(settings.eepromAddress, 0x50);
  EXPECT_EQ(settings.readSize, 0x1234);
  EXPECT_EQ(settings.subaddressing, 1);
  EXPECT_EQ(settings.readSizeAuto, 0);
  EXPECT_STREQ(InterfaceName(settings), "HID");

  settings.useHid = 0;
  store.writes.clear();
  SaveSettings(settings, store);
  EXPECT_EQ(store.writes, kWriteOrder);
  EXPECT_STREQ(InterfaceName(settings), "WinUSB");
}

TEST(Settings, AStoreThatFailsLeavesTheFieldsAlone) {
  MemorySettingsStore store;
  store.failing = true;
  Settings settings;
  settings.eepromAddress = 0x57;
  LoadSettings(settings, store);
  SaveSettings(settings, store);
  EXPECT_EQ(settings.eepromAddress, 0x57);
  EXPECT_TRUE(store.writes.empty());
}

#ifndef _WIN32
TEST(FileSettingsStore, KeepsOneNameHexLinePerValue) {
  testing::TempDir dir;
  std::string path = dir.File("Velmora/tessora");
  Settings settings;
  {
    FileSettingsStore store(path);
    LoadSettings(settings, store);
  }
  EXPECT_EQ(testing::ReadFile(path),
            "EEPROM_ADR=51\nreadsize_hi=01\nreadsize_lo=00\naddressing=02\nreadsize_auto=01\n"
            "device_iface=00\nwinusb_option=00\n");

  testing::WriteFile(path, "EEPROM_ADR=50\nreadsize_hi=01\nreadsize_lo=00\naddressing=zz\n# mine\n");
  FileSettingsStore store(path);
  Settings fresh;
  LoadSettings(fresh, store);
  EXPECT_EQ(fresh.eepromAddress, 0x50);
  EXPECT_EQ(fresh.subaddressing, 2);  // unreadable: rewritten from the default
  EXPECT_EQ(testing::ReadFile(path),
            "EEPROM_ADR=50\nreadsize_hi=01\nreadsize_lo=00\naddressing=02\n# mine\nreadsize_auto=01\n"
            "device_iface=00\nwinusb_option=00\n");

  ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  EXPECT_EQ(FileSettingsStore::DefaultPath(), path);
}
#endif

}  // namespace
}  // namespace tessora
