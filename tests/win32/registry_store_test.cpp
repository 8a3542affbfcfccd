// The registry store as both builds of the programs share it: the 32-bit view of
// HKEY_LOCAL_MACHINE\Software\Velmora\tessora, and every stored value read even where the key
// can be read but not written.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "tests/win32/program_state.h"

namespace tessora::testing {
namespace {

// Where the key lies for a program that asks for no particular view: beside the 64-bit
// programs' own keys under Wow6432Node on 64-bit Windows, the key itself on 32-bit Windows.
#ifdef _WIN64
constexpr char kRawKeyPath[] = "Software\\Wow6432Node\\Velmora\\tessora";
#else
constexpr char kRawKeyPath[] = "Software\\Velmora\\tessora";
#endif

struct RawKey {
  explicit RawKey(REGSAM access) {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRawKeyPath, 0, nullptr, 0, access, nullptr, &handle, nullptr);
  }
  ~RawKey() {
    if (handle != nullptr) RegCloseKey(handle);
  }
  void Set(const char* name, BYTE value) { RegSetValueExA(handle, name, 0, REG_BINARY, &value, 1); }
  HKEY handle = nullptr;
};

// Replaces the key's access list; null lets everyone do everything.
LONG SetAccessList(HKEY key, ACL* acl) {
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  return RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
}

TEST(RegistryStore, SharesTheThirtyTwoBitViewWithTheOtherBuild) {
  DeleteSettingsKey();
  {
    RawKey other(KEY_ALL_ACCESS);
    ASSERT_NE(other.handle, nullptr);
    other.Set("device_iface", 1);
    other.Set("EEPROM_ADR", 0x52);
  }
  Settings settings;
  std::unique_ptr<SettingsStore> store = CreateNativeSettingsStore();
  LoadSettings(settings, *store);
  EXPECT_EQ(settings.useHid, 1);
  EXPECT_EQ(settings.eepromAddress, 0x52);

  settings.readSize = 0x1234;
  SaveSettings(settings, *store);
  EXPECT_EQ(ReadSettingByte("readsize_hi"), 0x12);
  EXPECT_EQ(ReadSettingByte("readsize_lo"), 0x34);
  DeleteSettingsKey();
}

// A standard user may read the key under HKEY_LOCAL_MACHINE but not write it: a missing
// value then stays at its default, and the values after it are still the stored ones.
TEST(RegistryStore, ReadOnlyKeyStillDeliversEveryStoredValue) {
  DeleteSettingsKey();
  {
    RawKey key(KEY_ALL_ACCESS);
    ASSERT_NE(key.handle, nullptr);
    key.Set("readsize_hi", 0x02);
    key.Set("readsize_lo", 0x00);
    key.Set("addressing", 1);
    key.Set("readsize_auto", 0);
    key.Set("device_iface", 1);
    key.Set("winusb_option", 0);
    // Everyone may read; nobody may write.
    alignas(DWORD) BYTE aclBytes[256];
    auto* acl = reinterpret_cast<ACL*>(aclBytes);
    InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
    alignas(DWORD) BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof everyone;
    CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC, everyone);
    ASSERT_EQ(SetAccessList(key.handle, acl), ERROR_SUCCESS);
  }
  HKEY probe = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRawKeyPath, 0, KEY_SET_VALUE, &probe) == ERROR_SUCCESS) {
    RegCloseKey(probe);
    DeleteSettingsKey();
    GTEST_SKIP() << "this system does not enforce the key's access rights";
  }

  Settings settings;
  std::unique_ptr<SettingsStore> store = CreateNativeSettingsStore();
  LoadSettings(settings, *store);
  EXPECT_EQ(settings.eepromAddress, 0x51);
  EXPECT_EQ(settings.readSize, 0x200);
  EXPECT_EQ(settings.subaddressing, 1);
  EXPECT_EQ(settings.useHid, 1);

  RawKey restore(WRITE_DAC);
  SetAccessList(restore.handle, nullptr);
  DeleteSettingsKey();
}

}  // namespace
}  // namespace tessora::testing
