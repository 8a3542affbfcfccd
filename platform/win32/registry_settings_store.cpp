#include <windows.h>

#include "platform/settings_store.h"

namespace tessora {

namespace {

constexpr const char* kKeyPath = "Software\\Velmora\\tessora";
// The 32-bit program's view of the key, so that the 32-bit and 64-bit programs share one store
// on 64-bit Windows (Wow6432Node); 32-bit Windows ignores the flag.
constexpr REGSAM kSharedView = KEY_WOW64_32KEY;

// HKEY_LOCAL_MACHINE\Software\Velmora\tessora, seven REG_BINARY values of one byte.
// Reading and writing keep handles of their own: a key that can be read but not written
// must still deliver every stored value after a write-open has failed.
class RegistrySettingsStore : public SettingsStore {
 public:
  ~RegistrySettingsStore() override { Close(); }

  bool OpenForQuery() override {
    CloseKey(queryKey_);
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_QUERY_VALUE | kSharedView, &queryKey_) ==
           ERROR_SUCCESS;
  }

  bool OpenForWrite() override {
    if (writeKey_ != nullptr) return true;
    char keyClass[] = "";
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, keyClass, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | kSharedView, nullptr, &writeKey_,
                           nullptr) == ERROR_SUCCESS;
  }

  // A value holding more than one byte does not fit the one-byte buffer and counts as
  // unreadable, so the caller rewrites it.
  bool QueryByte(const char* name, std::uint8_t& value) override {
    HKEY key = queryKey_ != nullptr ? queryKey_ : writeKey_;
    if (key == nullptr) return false;
    BYTE data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, nullptr, &data, &size) != ERROR_SUCCESS || size != 1) return false;
    value = data;
    return true;
  }

  bool WriteByte(const char* name, std::uint8_t value) override {
    if (writeKey_ == nullptr) return false;
    BYTE data = value;
    return RegSetValueExA(writeKey_, name, 0, REG_BINARY, &data, 1) == ERROR_SUCCESS;
  }

  void Close() override {
    CloseKey(queryKey_);
    CloseKey(writeKey_);
  }

 private:
  static void CloseKey(HKEY& key) {
    if (key != nullptr) RegCloseKey(key);
    key = nullptr;
  }

  HKEY queryKey_ = nullptr;
  HKEY writeKey_ = nullptr;
};

}  // namespace

std::unique_ptr<SettingsStore> CreateNativeSettingsStore() { return std::make_unique<RegistrySettingsStore>(); }

}  // namespace tessora
