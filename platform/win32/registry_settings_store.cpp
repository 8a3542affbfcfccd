#include <windows.h>

#include "platform/settings_store.h"

namespace tessora {

namespace {

constexpr const char* kKeyPath = "Software\\Velmora\\tessora";

// HKEY_LOCAL_MACHINE\Software\Velmora\tessora, seven REG_BINARY values of one byte.
class RegistrySettingsStore : public SettingsStore {
 public:
  ~RegistrySettingsStore() override { Close(); }

  bool OpenForQuery() override {
    Close();
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_QUERY_VALUE, &key_) == ERROR_SUCCESS;
  }

  bool OpenForWrite() override {
    Close();
    char keyClass[] = "";
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, keyClass, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &key_, nullptr) == ERROR_SUCCESS;
  }

  // A value holding more than one byte does not fit the one-byte buffer and counts as
  // unreadable, so the caller rewrites it.
  bool QueryByte(const char* name, std::uint8_t& value) override {
    if (key_ == nullptr) return false;
    BYTE data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key_, name, nullptr, nullptr, &data, &size) != ERROR_SUCCESS || size != 1) return false;
    value = data;
    return true;
  }

  bool WriteByte(const char* name, std::uint8_t value) override {
    if (key_ == nullptr) return false;
    BYTE data = value;
    return RegSetValueExA(key_, name, 0, REG_BINARY, &data, 1) == ERROR_SUCCESS;
  }

  void Close() override {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::unique_ptr<SettingsStore> CreateNativeSettingsStore() { return std::make_unique<RegistrySettingsStore>(); }

}  // namespace tessora
