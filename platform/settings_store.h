#pragma once
#include <cstdint>
#include <memory>

namespace tessora {

// The store behind the program's settings: the registry key
// HKEY_LOCAL_MACHINE\Software\Velmora\tessora on Windows, a file elsewhere. Values are
// named single bytes.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  virtual bool OpenForQuery() = 0;
  // Opens the store for writing, creating it when it does not exist yet.
  virtual bool OpenForWrite() = 0;
  // False when the value is missing or does not hold exactly one byte.
  virtual bool QueryByte(const char* name, std::uint8_t& value) = 0;
  virtual bool WriteByte(const char* name, std::uint8_t value) = 0;
  virtual void Close() = 0;
};

// The platform's own store.
std::unique_ptr<SettingsStore> CreateNativeSettingsStore();

}  // namespace tessora
