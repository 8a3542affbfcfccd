// The registry store as both builds of the programs share it: the 32-bit view of
// HKEY_LOCAL_MACHINE\Software\Velmora\tessora, and every stored value read even where the key
// can be read but not written.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/stored_settings.h"
#include "tests/win32/program_state.h"

namespace tessora::test {
namespace {

// Where the key lies for a program that asks for no particular view: under Wow6432Node on
// 64-bit Windows, the key itself on 32-bit Windows.
#ifdef _WIN64
constexpr char kRawKeyPath[] = "Software\\Wow6432Node\\Velmora\\tessora";
#else
constexpr char kRawKeyPath[] = "Software\\Velmora\\tessora";
#endif

// Writes the values into the raw key; with readOnly, everyone may then read it and nobody
// write it, as for a standard user.
void StoreRaw(const std::vector<std::pair<const char*, BYTE>>& values, bool readOnly) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRawKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  for (const auto& [name, value] : values) RegSetValueExA(key, name, 0, REG_BINARY, &value, 1);
  if (readOnly) {
    alignas(DWORD) BYTE aclBytes[256], everyone[SECURITY_MAX_SID_SIZE];
    auto* acl = reinterpret_cast<ACL*>(aclBytes);
    DWORD sidSize = sizeof everyone;
    InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
    CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC | DELETE, everyone);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  }
  RegCloseKey(key);
}

Settings Loaded() {
  Settings settings;
  std::unique_ptr<SettingsStore> store = CreateNativeSettingsStore();
  LoadSettings(settings, *store);
  return settings;
}

TEST(RegistryStore, SharesTheThirtyTwoBitViewAndReadsAReadOnlyKey) {
  DeleteSettingsKey();
  StoreRaw({{"device_iface", 1}, {"EEPROM_ADR", 0x52}}, false);
  Settings settings = Loaded();
  EXPECT_EQ(settings.useHid, 1);
  EXPECT_EQ(settings.eepromAddress, 0x52);
  settings.readSize = 0x1234;
  std::unique_ptr<SettingsStore> store = CreateNativeSettingsStore();
  SaveSettings(settings, *store);
  EXPECT_EQ(ReadSettingByte("readsize_hi"), 0x12);
  EXPECT_EQ(ReadSettingByte("readsize_lo"), 0x34);

  // Read-only: a missing value stays at its default, and the values after it are still
  // the stored ones.
  DeleteSettingsKey();
  StoreRaw({{"readsize_hi", 2}, {"readsize_lo", 0}, {"addressing", 1}, {"readsize_auto", 0}, {"device_iface", 1},
            {"winusb_option", 0}},
           true);
  settings = Loaded();
  EXPECT_EQ(settings.eepromAddress, 0x51);
  EXPECT_EQ(settings.readSize, 0x200);
  EXPECT_EQ(settings.subaddressing, 1);
  EXPECT_EQ(settings.useHid, 1);
  DeleteSettingsKey();
}

}  // namespace
}  // namespace tessora::test
